#pragma once
// The window's message boxes and file dialogs, recorded instead of shown: the
// one recorder of the window tests and the benchmark. Open-file dialogs are
// answered from a queue; one that finds the queue empty is cancelled, after
// `unexpected` is told (the tests fail there).

#include "window/Dialogs.h"

#include <QString>

#include <deque>
#include <functional>
#include <vector>

struct TRecordedBox {
    QString text;
    QString caption;
    TMessageKind kind;
};

class TRecordingDialogs : public IDialogs {
public:
    std::vector<TRecordedBox> boxes;
    std::vector<TOpenFileRequest> requests;
    // Answers of the next open-file dialogs, in order.
    std::deque<std::function<QString()>> answers;
    // Told of an open-file dialog that no answer awaits.
    std::function<void()> unexpected;

    void Confirm(const QString& path)
    {
        answers.push_back([path] { return path; });
    }
    void Cancel() { Confirm(QString()); }
    // The dialog fails with (a copy of) failure.
    template <class Failure> void FailWith(Failure failure)
    {
        answers.push_back([failure]() -> QString { throw failure; });
    }

    // The text of the last box, or the empty text.
    QString LastText() const { return boxes.empty() ? QString() : boxes.back().text; }

    void ShowMessage(QWidget*, const QString& text, const QString& caption, TMessageKind kind) override
    {
        boxes.push_back({text, caption, kind});
    }

    QString OpenFileName(QWidget*, const TOpenFileRequest& request) override
    {
        requests.push_back(request);
        if (answers.empty()) {
            if (unexpected)
                unexpected();
            return QString();
        }
        const std::function<QString()> answer = answers.front();
        answers.pop_front();
        return answer();
    }
};

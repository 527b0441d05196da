#pragma once
// The one way the program shows message boxes and open-file dialogs. The
// window's handlers go through Dialogs(); the program uses the Qt dialogs,
// tests install a recorder with TDialogsOverride.

#include <QObject>
#include <QString>

#include <vector>

class QWidget;

// The icon of a message box.
enum class TMessageKind {
    Information, // flag value 0x40
    Warning, // flag value 0x30, the exclamation mark
    Error, // the stop sign
};

// One entry of an open-file dialog's filter list, such as "Bancos FDB", "*.FDB".
struct TFileFilter {
    QString label;
    QString pattern;
};

// What an open-file dialog is shown with.
struct TOpenFileRequest {
    std::vector<TFileFilter> filters;
    // The filter entry selected when the dialog opens, counted from 0.
    int filterIndex = 0;
    QString initialDirectory;
    // Added, after a ".", to a typed name that has no extension; empty adds nothing.
    QString defaultExtension;
};

class IDialogs {
public:
    virtual ~IDialogs() = default;

    // A modal message box with one OK button; returns when the operator has
    // closed it. owner may be null.
    virtual void ShowMessage(QWidget* owner, const QString& text, const QString& caption, TMessageKind kind) = 0;

    // A modal open-file dialog. Returns the chosen file's full path (in the
    // platform's separators), or the empty text when the operator cancels. A
    // typed name of a file that does not exist is accepted.
    virtual QString OpenFileName(QWidget* owner, const TOpenFileRequest& request) = 0;
};

// The dialogs in use: the Qt dialogs unless a TDialogsOverride is alive.
IDialogs& Dialogs();

// A message box owned by the application's active window.
void ShowMessageBox(const QString& text, const QString& caption, TMessageKind kind);

// Puts other dialogs in place for its lifetime (tests record boxes and answer
// dialogs with it). Overrides nest.
class TDialogsOverride {
public:
    explicit TDialogsOverride(IDialogs& dialogs);
    ~TDialogsOverride();
    TDialogsOverride(const TDialogsOverride&) = delete;
    TDialogsOverride& operator=(const TDialogsOverride&) = delete;

private:
    IDialogs* FPrevious;
};

// The message boxes and file dialogs of Qt.
class TQtDialogs : public IDialogs {
public:
    void ShowMessage(QWidget* owner, const QString& text, const QString& caption, TMessageKind kind) override;
    QString OpenFileName(QWidget* owner, const TOpenFileRequest& request) override;
};

// An open-file dialog as a component of a window: its settings, and the file
// the operator chose at its last showing. The dialog is owned by its parent
// and found by its object name.
class TOpenDialog : public QObject {
    Q_OBJECT
public:
    explicit TOpenDialog(QObject* parent = nullptr);

    const std::vector<TFileFilter>& Filter() const { return FRequest.filters; }
    void SetFilter(const std::vector<TFileFilter>& filters) { FRequest.filters = filters; }
    // The filter entry selected when the dialog opens, counted from 0.
    int FilterIndex() const { return FRequest.filterIndex; }
    void SetFilterIndex(int index) { FRequest.filterIndex = index; }
    QString InitialDir() const { return FRequest.initialDirectory; }
    void SetInitialDir(const QString& directory) { FRequest.initialDirectory = directory; }
    QString DefaultExt() const { return FRequest.defaultExtension; }
    void SetDefaultExt(const QString& extension) { FRequest.defaultExtension = extension; }
    const TOpenFileRequest& Request() const { return FRequest; }

    // Shows the dialog (owned by the parent widget, when there is one).
    // Returns true and keeps the chosen path in FileName when the operator
    // confirms a file; false when the operator cancels, FileName unchanged.
    bool Execute();
    QString FileName() const { return FFileName; }

private:
    TOpenFileRequest FRequest;
    QString FFileName;
};

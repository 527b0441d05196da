#pragma once
// The bar that shows how far along a run is, on the run's own page: a fine
// range (tenths of a percent) so that it moves on a large job, and the state
// in words. A run without an estimate gets a busy bar that still tells the
// elapsed time; a failed run leaves the bar where it stopped, in red where the
// style takes the palette.

#include <QProgressBar>
#include <QString>

struct TProgressState;

class TProgressBar : public QProgressBar {
    Q_OBJECT
public:
    // The bar's steps: the whole job.
    static constexpr int Steps = 1000;

    explicit TProgressBar(QWidget* parent = nullptr);

    void ShowState(const TProgressState& state);
    // The words shown, whatever the range: a plain progress bar shows none
    // while busy, which is when the elapsed time matters most.
    QString text() const override { return FText; }

private:
    QString FText;
    bool FFailedLook = false;
};

#include "window/Taskbar.h"

struct TTaskbarProgress::TButton { };

TTaskbarProgress::TTaskbarProgress(QWidget&)
{
}

TTaskbarProgress::~TTaskbarProgress() = default;

void TTaskbarProgress::Show(const TProgressState&)
{
}

#include "window/Taskbar.h"

#include "core/JobProgress.h"

#include <QWidget>
#include <QtGlobal>

#include <windows.h>

#include <shobjidl.h>

#include <cmath>

namespace {

struct TRelease {
    void operator()(IUnknown* object) const { object->Release(); }
};

constexpr ULONGLONG Steps = 1000;

void Warn(const char* what, HRESULT result)
{
    qWarning("Barra de tarefas: %s falhou (HRESULT 0x%08lx); o progresso só aparece na janela.", what,
        static_cast<unsigned long>(result));
}

} // namespace

struct TTaskbarProgress::TButton {
    std::unique_ptr<ITaskbarList3, TRelease> list;
    HWND window = nullptr;
    // What the button shows now (-1: not told yet).
    int flag = -1;
    long long value = -1;
    bool warned = false;

    void Failed(const char* what, HRESULT result)
    {
        // Once: the bar is told twenty times a second.
        if (!warned)
            Warn(what, result);
        warned = true;
    }
};

TTaskbarProgress::TTaskbarProgress(QWidget& window)
    : FButton(std::make_unique<TButton>())
{
    // COM is the one Qt initialised on the window's thread, this one.
    ITaskbarList3* list = nullptr;
    HRESULT result = CoCreateInstance(
        CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3, reinterpret_cast<void**>(&list));
    if (FAILED(result) || list == nullptr) {
        Warn("CoCreateInstance(CLSID_TaskbarList)", result);
        return;
    }
    FButton->list.reset(list);
    result = list->HrInit();
    if (FAILED(result)) {
        Warn("ITaskbarList3::HrInit", result);
        FButton->list.reset();
        return;
    }
    FButton->window = reinterpret_cast<HWND>(window.window()->winId());
}

TTaskbarProgress::~TTaskbarProgress() = default;

void TTaskbarProgress::Show(const TProgressState& state)
{
    if (!FButton->list)
        return;
    using TKind = TProgressState::TKind;
    TBPFLAG flag = TBPF_NOPROGRESS;
    long long value = -1;
    switch (state.kind) {
    case TKind::NotStarted:
    case TKind::Done:
        // A succeeded run leaves the button as it was before.
        flag = TBPF_NOPROGRESS;
        break;
    case TKind::Indeterminate:
        flag = TBPF_INDETERMINATE;
        break;
    case TKind::Estimated:
        flag = TBPF_NORMAL;
        value = static_cast<long long>(std::floor(state.fraction * Steps));
        break;
    case TKind::Failed:
        flag = TBPF_ERROR;
        value = static_cast<long long>(std::floor(state.fraction * Steps));
        break;
    }
    ITaskbarList3& list = *FButton->list;
    if (flag != FButton->flag) {
        const HRESULT result = list.SetProgressState(FButton->window, flag);
        if (FAILED(result))
            FButton->Failed("SetProgressState", result);
        FButton->flag = flag;
        FButton->value = -1;
    }
    if (value >= 0 && value != FButton->value) {
        const HRESULT result = list.SetProgressValue(FButton->window, static_cast<ULONGLONG>(value), Steps);
        if (FAILED(result))
            FButton->Failed("SetProgressValue", result);
        FButton->value = value;
    }
}

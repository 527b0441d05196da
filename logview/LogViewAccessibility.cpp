#include "logview/LogViewAccessibility.h"

#include "logview/LogView.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include <mutex>

namespace {

// What assistive technology reads of a log: an editable multi-line text whose
// value is the log's text.
class TLogViewAccessible : public QAccessibleWidget {
public:
    explicit TLogViewAccessible(TLogView* view)
        : QAccessibleWidget(view, QAccessible::EditableText)
    {
    }
    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return View()->toPlainText();
        return QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.multiLine = true;
        state.editable = !View()->isReadOnly();
        state.readOnly = View()->isReadOnly();
        return state;
    }

private:
    TLogView* View() const { return static_cast<TLogView*>(widget()); }
};

// The accessibility framework owns the interfaces that its factories make.
QAccessibleInterface* MakeLogViewAccessible(const QString& className, QObject* object)
{
    if (className == QLatin1String(TLogView::staticMetaObject.className()) && object && object->isWidgetType())
        return new TLogViewAccessible(static_cast<TLogView*>(object));
    return nullptr;
}

} // namespace

void InstallLogViewAccessibility()
{
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(MakeLogViewAccessible); });
}

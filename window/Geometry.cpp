#include "window/Geometry.h"

#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QScreen>

namespace {

// The height of a line of text as the window was laid out for it: the
// character height plus the room above it for accents on capitals, a fifth
// of the character height (13 pixels for an 11-pixel font).
int TextHeight(const QFont& font)
{
    const int characterHeight = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    return qMax(QFontMetrics(font).height(), qRound(characterHeight * 1.2));
}

// A label sizes itself to its text; the text sits on the bottom of that line
// so that accents above capitals stay inside it.
void FitToText(QLabel* label)
{
    const QFontMetrics metrics(label->font());
    const QSize size(metrics.horizontalAdvance(label->text()), TextHeight(label->font()));
    if (label->size() != size)
        label->resize(size);
}

// Where the client area of a parent starts, in the parent's coordinates: inside
// its frame and margins; a group box's children count from its top-left corner.
QPoint ClientOrigin(const QWidget* parent)
{
    if (qobject_cast<const QGroupBox*>(parent))
        return QPoint(0, 0);
    return parent->contentsRect().topLeft();
}

// Keeps the window's geometry rules alive: aligned controls follow their
// parent's size, labels follow their text, and the window is centred and
// focused when first shown.
class TWindowKeeper : public QObject {
public:
    TWindowKeeper(QWidget& window, QWidget* firstFocus)
        : QObject(&window)
        , m_window(window)
        , m_firstFocus(firstFocus)
    {
        window.installEventFilter(this);
    }

    void AddAligned(QWidget* child, TAlign align, const QSize& size)
    {
        m_aligned.push_back({child, align, size});
        child->installEventFilter(this);
        Watch(child->parentWidget());
    }

    void SetInnerBorder(QWidget* parent, int border) { m_innerBorders.push_back({parent, border}); }

    int InnerBorder(const QWidget* parent) const
    {
        for (const auto& [widget, border] : m_innerBorders) {
            if (widget == parent)
                return border;
        }
        return 0;
    }

    void AddAutoSized(QLabel* label)
    {
        m_autoSized.push_back(label);
        Watch(label->parentWidget());
        label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
        FitToText(label);
    }

    void AlignAll()
    {
        for (const QPointer<QWidget>& parent : m_watched) {
            if (parent)
                Realign(parent);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::Show:
            if (watched == &m_window && !m_shown && !event->spontaneous()) {
                m_shown = true;
                Centre();
                if (m_firstFocus)
                    m_firstFocus->setFocus(Qt::OtherFocusReason);
            }
            // A parent shown with its page: its labels may have new texts.
            [[fallthrough]];
        case QEvent::Resize:
        case QEvent::LayoutRequest:
            if (auto* widget = qobject_cast<QWidget*>(watched); widget && IsWatched(widget)) {
                Realign(widget);
                AutoSize(widget);
            }
            break;
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
            if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->parentWidget())
                Realign(widget->parentWidget());
            break;
        default:
            break;
        }
        return false;
    }

private:
    struct TAligned {
        QPointer<QWidget> child;
        TAlign align;
        QSize size;
    };

    void Watch(QWidget* parent)
    {
        if (!parent || IsWatched(parent))
            return;
        m_watched.push_back(parent);
        parent->installEventFilter(this);
    }

    bool IsWatched(const QWidget* widget) const
    {
        for (const QPointer<QWidget>& w : m_watched) {
            if (w == widget)
                return true;
        }
        return false;
    }

    QRect AlignmentArea(const QWidget* parent) const
    {
        const int border = InnerBorder(parent);
        return parent->contentsRect().adjusted(border, border, -border, -border);
    }

    // Top bands first, then left columns, then the fill, each taking its
    // share of what the ones before left; hidden controls take no room.
    void Realign(QWidget* parent)
    {
        QRect area = AlignmentArea(parent);
        for (TAlign kind : {TAlign::Top, TAlign::Left, TAlign::Fill}) {
            for (const TAligned& a : m_aligned) {
                if (!a.child || a.child->parentWidget() != parent || a.align != kind)
                    continue;
                switch (kind) {
                case TAlign::Top:
                    a.child->setGeometry(area.left(), area.top(), area.width(), a.size.height());
                    if (!a.child->isHidden())
                        area.setTop(area.top() + a.size.height());
                    break;
                case TAlign::Left:
                    a.child->setGeometry(area.left(), area.top(), a.size.width(), area.height());
                    if (!a.child->isHidden())
                        area.setLeft(area.left() + a.size.width());
                    break;
                case TAlign::Fill:
                    a.child->setGeometry(area);
                    break;
                case TAlign::None:
                    break;
                }
            }
        }
    }

    void AutoSize(const QWidget* parent)
    {
        for (const QPointer<QLabel>& label : m_autoSized) {
            if (label && label->parentWidget() == parent)
                FitToText(label);
        }
    }

    void Centre()
    {
        const QScreen* screen = m_window.screen();
        if (!screen)
            return;
        const QRect area = screen->geometry();
        const QSize size = m_window.frameGeometry().size();
        m_window.move(
            area.left() + (area.width() - size.width()) / 2, area.top() + (area.height() - size.height()) / 2);
    }

    QWidget& m_window;
    QPointer<QWidget> m_firstFocus;
    std::vector<TAligned> m_aligned;
    std::vector<std::pair<QPointer<QWidget>, int>> m_innerBorders;
    std::vector<QPointer<QLabel>> m_autoSized;
    std::vector<QPointer<QWidget>> m_watched;
    bool m_shown = false;
};

} // namespace

void PlaceControls(QWidget& window, const TPlacedControls& controls,
    const std::vector<std::pair<QWidget*, int>>& innerBorders, QWidget* firstFocus, const TScale& S)
{
    window.resize(S(WindowGeometry.clientWidth), S(WindowGeometry.clientHeight));
    auto* keeper = new TWindowKeeper(window, firstFocus);
    for (const auto& [parent, border] : innerBorders) {
        if (parent)
            keeper->SetInnerBorder(parent, border);
    }
    for (const TPlacedControl& control : controls) {
        QWidget* widget = control.widget;
        QWidget* parent = widget ? widget->parentWidget() : nullptr;
        if (!parent)
            continue;
        const TPlace& p = control.place;
        const QRect rect(ClientOrigin(parent) + QPoint(S(p.left), S(p.top)), QSize(S(p.width), S(p.height)));
        if (p.align != TAlign::None && parent->layout()) {
            // A layout already makes the control follow its parent: it only
            // needs the margins and the fixed side of the alignment.
            const int border = keeper->InnerBorder(parent);
            parent->layout()->setContentsMargins(border, border, border, border);
            parent->layout()->setSpacing(0);
            if (p.align == TAlign::Top)
                widget->setFixedHeight(rect.height());
            else if (p.align == TAlign::Left)
                widget->setFixedWidth(rect.width());
            continue;
        }
        widget->setGeometry(rect);
        auto* label = qobject_cast<QLabel*>(widget);
        if (p.align != TAlign::None)
            keeper->AddAligned(widget, p.align, rect.size());
        else if (label && label->pixmap().isNull())
            keeper->AddAutoSized(label);
    }
    keeper->AlignAll();
}

#include "window/AppearanceStyle.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QtGlobal>
#include <qdrawutil.h>

namespace {

const int TabColumn = 22; // width of the column of upright tabs
const int EditBevel = 2; // each of the two bevels of a text field
const int ComboBevel = 1; // each of the two bevels of the drop-down list
const int ComboArrow = 17;
const int PictureSpacing = 4; // between a button's picture and its caption
const int GroupCaptionLeft = 8;

// ---------------------------------------------------------------------------
// Drawing of the frames and tabs that the platform's styles do not offer.

// One bevel: a band of the given width along the edges, light on the top and
// left, dark on the bottom and right (or the reverse).
void DrawBevel(QPainter& painter, const QRect& rect, const QColor& topLeft, const QColor& bottomRight, int width)
{
    for (int i = 0; i < width; ++i) {
        const QRect r = rect.adjusted(i, i, -i, -i);
        painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), topLeft);
        painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), topLeft);
        painter.fillRect(QRect(r.left() + 1, r.bottom(), r.width() - 1, 1), bottomRight);
        painter.fillRect(QRect(r.right(), r.top() + 1, 1, r.height() - 1), bottomRight);
    }
}

// A soft frame: a raised outer bevel and a lowered inner bevel, each of the
// given width.
void DrawSoftFrame(QPainter& painter, const QRect& rect, const QPalette& palette, int bevel)
{
    const QColor light = palette.color(QPalette::Light);
    const QColor dark = palette.color(QPalette::Dark);
    DrawBevel(painter, rect, light, dark, bevel);
    DrawBevel(painter, rect.adjusted(bevel, bevel, -bevel, -bevel), dark, light, bevel);
}

bool IsWestTabs(const QStyleOption* option)
{
    if (const auto* frame = qstyleoption_cast<const QStyleOptionTabWidgetFrame*>(option))
        return frame->shape == QTabBar::RoundedWest || frame->shape == QTabBar::TriangularWest;
    return false;
}

bool IsVerticalTab(const QStyleOption* option)
{
    if (const auto* tab = qstyleoption_cast<const QStyleOptionTab*>(option)) {
        switch (tab->shape) {
        case QTabBar::RoundedWest:
        case QTabBar::RoundedEast:
        case QTabBar::TriangularWest:
        case QTabBar::TriangularEast:
            return true;
        default:
            break;
        }
    }
    return false;
}

// The window's own look on top of the platform's style: soft bevel frames of
// the text fields and of the drop-down list, flat group boxes with their
// caption on the frame, the column of upright tabs on the left of the tab
// control, and buttons whose picture and caption stand centred together.
// Set on those controls only.
class TAppearanceStyle : public QProxyStyle {
public:
    explicit TAppearanceStyle(double scale)
        : m_scale(scale)
    {
    }

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        if (metric == PM_DefaultFrameWidth && qobject_cast<const QLineEdit*>(widget))
            return 2 * Scaled(EditBevel);
        if (metric == PM_ComboBoxFrameWidth && qobject_cast<const QComboBox*>(widget))
            return 2 * Scaled(ComboBevel);
        return QProxyStyle::pixelMetric(metric, option, widget);
    }

    QRect subElementRect(SubElement element, const QStyleOption* option, const QWidget* widget) const override
    {
        if (IsWestTabs(option)) {
            const auto* frame = qstyleoption_cast<const QStyleOptionTabWidgetFrame*>(option);
            const QRect r = option->rect;
            const int column = Scaled(TabColumn);
            switch (element) {
            case SE_TabWidgetTabBar:
                return QRect(
                    r.left(), r.top() + Scaled(2), column, qMin(frame->tabBarSize.height(), r.height() - Scaled(4)));
            case SE_TabWidgetTabPane:
                return QRect(r.left() + column, r.top(), r.width() - column, r.height());
            case SE_TabWidgetTabContents:
                return QRect(r.left() + column + Scaled(2), r.top() + Scaled(4), r.width() - column - Scaled(6),
                    r.height() - Scaled(8));
            default:
                break;
            }
        }
        if (element == SE_LineEditContents && qobject_cast<const QLineEdit*>(widget)) {
            if (const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option)) {
                const int w = frame->lineWidth;
                return option->rect.adjusted(w, w, -w, -w);
            }
        }
        return QProxyStyle::subElementRect(element, option, widget);
    }

    QSize sizeFromContents(
        ContentsType type, const QStyleOption* option, const QSize& size, const QWidget* widget) const override
    {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_TabBarTab && IsVerticalTab(option))
            result.setWidth(Scaled(TabColumn));
        return result;
    }

    QRect subControlRect(
        ComplexControl control, const QStyleOptionComplex* option, SubControl sub, const QWidget* widget) const override
    {
        if (control == CC_ComboBox && qobject_cast<const QComboBox*>(widget))
            return ComboRect(option->rect, sub, option, widget);
        if (control == CC_GroupBox && qobject_cast<const QGroupBox*>(widget)) {
            if (const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option))
                return GroupBoxRect(*box, sub);
        }
        return QProxyStyle::subControlRect(control, option, sub, widget);
    }

    void drawPrimitive(
        PrimitiveElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const override
    {
        if (element == PE_PanelLineEdit && qobject_cast<const QLineEdit*>(widget)) {
            painter->fillRect(option->rect, option->palette.brush(QPalette::Base));
            const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
            if (frame && frame->lineWidth > 0)
                DrawSoftFrame(*painter, option->rect, option->palette, Scaled(EditBevel));
            return;
        }
        if (element == PE_FrameLineEdit && qobject_cast<const QLineEdit*>(widget))
            return;
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
        const QWidget* widget) const override
    {
        if (control == CC_ComboBox && qobject_cast<const QComboBox*>(widget)) {
            DrawCombo(*option, *painter, widget);
            return;
        }
        if (control == CC_GroupBox && qobject_cast<const QGroupBox*>(widget)) {
            if (const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option)) {
                DrawGroupBox(*box, *painter);
                return;
            }
        }
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }

    void drawControl(
        ControlElement element, const QStyleOption* option, QPainter* painter, const QWidget* widget) const override
    {
        if (element == CE_PushButtonLabel) {
            const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
            if (button && !button->icon.isNull() && !button->text.isEmpty()) {
                DrawPictureAndCaption(
                    *painter, button->rect, *button, button->icon, button->iconSize, button->text, false);
                return;
            }
        }
        if (element == CE_ToolButtonLabel) {
            const auto* button = qstyleoption_cast<const QStyleOptionToolButton*>(option);
            if (button && button->toolButtonStyle == Qt::ToolButtonTextBesideIcon && !button->icon.isNull()
                && !button->text.isEmpty()) {
                DrawCentredToolButtonLabel(*button, *painter, widget);
                return;
            }
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

private:
    int Scaled(int value) const { return qMax(1, qRound(value * m_scale)); }

    QRect ComboRect(const QRect& rect, SubControl sub, const QStyleOptionComplex* option, const QWidget* widget) const
    {
        const int frame = 2 * Scaled(ComboBevel);
        const QRect inner = rect.adjusted(frame, frame, -frame, -frame);
        const int arrow = qMin(Scaled(ComboArrow), inner.width());
        switch (sub) {
        case SC_ComboBoxFrame:
            return rect;
        case SC_ComboBoxArrow:
            return QRect(inner.right() - arrow + 1, inner.top(), arrow, inner.height());
        case SC_ComboBoxEditField:
            return QRect(inner.left(), inner.top(), inner.width() - arrow, inner.height());
        default:
            return QProxyStyle::subControlRect(CC_ComboBox, option, sub, widget);
        }
    }

    void DrawCombo(const QStyleOptionComplex& option, QPainter& painter, const QWidget* widget) const
    {
        const QPalette& palette = option.palette;
        const bool enabled = option.state & State_Enabled;
        painter.fillRect(option.rect, palette.brush(QPalette::Button));
        DrawSoftFrame(painter, option.rect, palette, Scaled(ComboBevel));

        const QRect arrow = ComboRect(option.rect, SC_ComboBoxArrow, &option, widget);
        const bool pressed = (option.activeSubControls & SC_ComboBoxArrow) && (option.state & State_Sunken);
        qDrawShadePanel(&painter, arrow, palette, pressed, 1, &palette.brush(QPalette::Button));
        const int w = Scaled(7);
        const int h = Scaled(4);
        QPoint tip = arrow.center() + QPoint(0, h / 2);
        if (pressed)
            tip += QPoint(1, 1);
        const QPolygon triangle({QPoint(tip.x() - w / 2, tip.y() - h + 1), QPoint(tip.x() + w / 2, tip.y() - h + 1),
            QPoint(tip.x(), tip.y())});
        painter.save();
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette.color(enabled ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        painter.drawPolygon(triangle);
        painter.restore();

        if (option.state & State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(option);
            focus.rect = ComboRect(option.rect, SC_ComboBoxEditField, &option, widget).adjusted(1, 1, -1, -1);
            focus.backgroundColor = palette.color(QPalette::Button);
            proxy()->drawPrimitive(PE_FrameFocusRect, &focus, &painter, widget);
        }
    }

    // A flat group box: a one-pixel frame whose top line runs through the
    // middle of the caption; the caption, blanks included, covers the line.
    QRect GroupBoxRect(const QStyleOptionGroupBox& box, SubControl sub) const
    {
        const int textHeight = box.fontMetrics.height();
        const QRect frame = box.rect.adjusted(0, textHeight / 2 - 1, 0, 0);
        switch (sub) {
        case SC_GroupBoxFrame:
            return frame;
        case SC_GroupBoxLabel:
            return QRect(box.rect.left() + Scaled(GroupCaptionLeft), box.rect.top(),
                box.fontMetrics.horizontalAdvance(box.text), textHeight);
        case SC_GroupBoxContents:
            return box.rect.adjusted(1, textHeight, -1, -1);
        default:
            return QRect();
        }
    }

    void DrawGroupBox(const QStyleOptionGroupBox& box, QPainter& painter) const
    {
        const QRect frame = GroupBoxRect(box, SC_GroupBoxFrame);
        painter.save();
        painter.setPen(box.palette.color(QPalette::WindowText));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frame.adjusted(0, 0, -1, -1));
        painter.restore();
        if (!box.text.isEmpty()) {
            const QRect label = GroupBoxRect(box, SC_GroupBoxLabel);
            painter.fillRect(label, box.palette.brush(QPalette::Window));
            proxy()->drawItemText(&painter, label, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, box.palette,
                box.state & State_Enabled, box.text, QPalette::WindowText);
        }
    }

    // Picture and caption side by side, PictureSpacing apart, centred
    // together in rect.
    void DrawPictureAndCaption(QPainter& painter, const QRect& rect, const QStyleOption& option, const QIcon& icon,
        const QSize& iconSize, const QString& caption, bool active) const
    {
        const bool enabled = option.state & State_Enabled;
        const QIcon::Mode mode = !enabled ? QIcon::Disabled : (active ? QIcon::Active : QIcon::Normal);
        const QPixmap pixmap = icon.pixmap(
            iconSize, painter.device()->devicePixelRatio(), mode, (option.state & State_On) ? QIcon::On : QIcon::Off);
        const int pictureWidth = pixmap.isNull() ? 0 : iconSize.width();
        QString plain = caption;
        plain.remove(QLatin1Char('&'));
        const int textWidth = option.fontMetrics.horizontalAdvance(plain);
        const int spacing = Scaled(PictureSpacing);
        const int left = rect.left() + (rect.width() - (pictureWidth + spacing + textWidth)) / 2;
        proxy()->drawItemPixmap(
            &painter, QRect(left, rect.top(), pictureWidth, rect.height()), Qt::AlignCenter, pixmap);
        proxy()->drawItemText(&painter, QRect(left + pictureWidth + spacing, rect.top(), textWidth + 1, rect.height()),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, option.palette, enabled, caption,
            QPalette::ButtonText);
    }

    void DrawCentredToolButtonLabel(
        const QStyleOptionToolButton& button, QPainter& painter, const QWidget* widget) const
    {
        QRect rect = button.rect;
        if (button.state & (State_Sunken | State_On)) {
            rect.translate(proxy()->pixelMetric(PM_ButtonShiftHorizontal, &button, widget),
                proxy()->pixelMetric(PM_ButtonShiftVertical, &button, widget));
        }
        const bool active = (button.state & State_MouseOver) && (button.state & State_AutoRaise);
        DrawPictureAndCaption(painter, rect, button, button.icon, button.iconSize, button.text, active);
    }

    double m_scale;
};

} // namespace

QStyle* CreateAppearanceStyle(double scale, QObject* parent)
{
    auto* style = new TAppearanceStyle(scale);
    style->setParent(parent);
    return style;
}

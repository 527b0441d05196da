#include "Appearance.h"

#include "LogView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QtGlobal>
#include <qdrawutil.h>

#include <vector>

namespace pictures {
const char* const FolderSearch = ":/folder_search.bmp";
const char* const TestConnection = ":/test_connection.bmp";
const char* const Ok = ":/ok.bmp";
const char* const Error = ":/error.bmp";
const char* const GearsPlay = ":/gears_play.bmp";
const char* const GearsPanel = ":/gears_panel.bmp";
const char* const ApplicationIcon = ":/zur.ico";
} // namespace pictures

// The pictures are compiled into a static library: referencing the resource's
// initialiser keeps it in the executable.
static void InitPictureResources()
{
    Q_INIT_RESOURCE(zur);
}

namespace {

const char* const WindowFamily = "Tahoma";

const QColor Cream(255, 251, 240);
const QColor LabelBlue(0, 0, 255);
const QColor PathGrey(128, 128, 128);
const QColor BackupLogText(255, 255, 0);
const QColor RestoreLogText(0, 255, 0);

// How a control follows its parent's size (like a form designer's Align):
// a top band spans the parent's width with a fixed height, a left column
// spans its height with a fixed width, a fill takes what remains.
enum class Align { None, Top, Left, Fill };

struct Placement {
    const char* name;
    const char* parent; // nullptr: the window
    int left;
    int top;
    int width;
    int height;
    Align align;
};

// Positions are relative to the parent's client area, in pixels at 96 dpi.
// Labels size themselves to their text; their sizes here are those of the
// texts the window starts with.
const Placement Placements[] = {
    {"pnConfig", nullptr, 0, 0, 566, 124, Align::Top},
    {"Label13", "pnConfig", 20, 15, 181, 13, Align::None},
    {"edServidor", "pnConfig", 30, 30, 105, 23, Align::None},
    {"edCaminho", "pnConfig", 140, 30, 330, 23, Align::None},
    {"sbAbrir", "pnConfig", 470, 28, 29, 28, Align::None},
    {"Label1", "pnConfig", 20, 70, 100, 13, Align::None},
    {"edUsuario", "pnConfig", 30, 85, 75, 23, Align::None},
    {"edSenha", "pnConfig", 110, 85, 80, 23, Align::None},
    {"SpeedButton1", "pnConfig", 244, 81, 150, 29, Align::None},
    {"Panel5", "pnConfig", 400, 77, 39, 33, Align::None},
    {"imgOk", "Panel5", 2, 2, 31, 29, Align::Left},
    {"imgErro", "Panel5", 2, 2, 31, 29, Align::Left},
    {"Panel1", nullptr, 0, 124, 566, 339, Align::Fill},
    {"PageControl1", "Panel1", 0, 0, 562, 335, Align::Fill},
    {"Panel3", "Backup", 0, 0, 524, 317, Align::Fill},
    {"Image1", "Panel3", 425, 16, 100, 100, Align::None},
    {"gbRepositorio", "Panel3", 16, 16, 404, 41, Align::None},
    {"lblDestino", "gbRepositorio", 10, 19, 9, 13, Align::None},
    {"btnBackup", "Panel3", 16, 68, 145, 41, Align::None},
    {"mmBackup", "Panel3", 16, 120, 505, 167, Align::None},
    {"Panel2", "Restore", 0, 0, 524, 317, Align::Fill},
    {"Image2", "Panel2", 11, 12, 100, 100, Align::None},
    {"gbDestino", "Panel2", 117, 16, 404, 41, Align::None},
    {"lblLocal_Restaura", "gbDestino", 10, 19, 9, 13, Align::None},
    {"gbArquivo_Restaurar", "Panel2", 117, 64, 404, 49, Align::None},
    {"cmbBackups", "gbArquivo_Restaurar", 8, 19, 377, 21, Align::None},
    {"btnRestore", "Panel2", 16, 128, 145, 41, Align::None},
    {"mmRestore", "Panel2", 16, 175, 505, 113, Align::None},
    {"GroupBox6", "Panel2", 16, 295, 505, 41, Align::None},
    {"lblBase_Restaurada", "GroupBox6", 10, 19, 9, 13, Align::None},
};

const int WindowClientWidth = 566;
const int WindowClientHeight = 463;
// Room kept free inside a parent around its aligned controls (not part of
// its client area's origin): the border of each tab page around its panel,
// and Panel5's inner border around its pictures.
struct AlignmentInset {
    const char* parent;
    int border;
};
const AlignmentInset AlignmentInsets[] = {{"Backup", 5}, {"Restore", 5}, {"Panel5", 2}};
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
class AppearanceStyle : public QProxyStyle {
public:
    explicit AppearanceStyle(double scale)
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

// ---------------------------------------------------------------------------
// Screenshot hook (scripts/screenshot, scripts/windows-screenshot): with
// ZUR_SCREENSHOT_DIR set, the window, once shown, saves a picture of itself
// with each page of the tab control shown (<page name>.png in that folder) and
// ends the program. With ZUR_SCREENSHOT_BACKUP set as well ("<server>|<database
// path>"), it first tests the connection and runs a backup of that database,
// as the operator would, and
// closes the box that ends the run, so that the pictures show its log.

namespace {

void SavePictures(QWidget& window, const QString& folder)
{
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    const int pages = tabs ? tabs->count() : 1;
    for (int i = 0; i < pages; ++i) {
        if (tabs)
            tabs->setCurrentIndex(i);
        QCoreApplication::processEvents();
        const QString name = tabs ? tabs->widget(i)->objectName() : QStringLiteral("window");
        const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!window.grab().save(file))
            qWarning("Appearance: cannot save %s", qUtf8Printable(file));
    }
    if (tabs)
        tabs->setCurrentIndex(0);
}

void RunBackupFirst(QWidget& window, const QString& serverAndPath)
{
    const qsizetype bar = serverAndPath.indexOf(u'|');
    auto* server = window.findChild<QLineEdit*>(QStringLiteral("edServidor"));
    auto* path = window.findChild<QLineEdit*>(QStringLiteral("edCaminho"));
    auto* connect = window.findChild<QAbstractButton*>(QStringLiteral("SpeedButton1"));
    auto* button = window.findChild<QAbstractButton*>(QStringLiteral("btnBackup"));
    if (bar < 0 || !server || !path || !connect || !button) {
        qWarning("Appearance: ZUR_SCREENSHOT_BACKUP needs \"<server>|<database path>\"");
        return;
    }
    server->setText(serverAndPath.left(bar));
    path->setText(serverAndPath.mid(bar + 1));
    // The box that ends the run waits for the operator: it is closed once shown.
    QTimer closer;
    closer.setInterval(300);
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    closer.start();
    // The connection test first, then the backup.
    connect->click();
    button->click();
}

} // namespace

void ScheduleScreenshots(QWidget& window)
{
    const QString folder = qEnvironmentVariable("ZUR_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    QTimer::singleShot(500, &window, [&window, folder] {
        const QString backup = qEnvironmentVariable("ZUR_SCREENSHOT_BACKUP");
        if (!backup.isEmpty())
            RunBackupFirst(window, backup);
        SavePictures(window, folder);
        QCoreApplication::exit(0);
    });
}

// ---------------------------------------------------------------------------
// Keeps the window's geometry rules alive: aligned controls follow their
// parent's size, labels follow their text, and the window is centred and
// focused when first shown.

class WindowKeeper : public QObject {
public:
    WindowKeeper(QWidget& window, QWidget* firstFocus)
        : QObject(&window)
        , m_window(window)
        , m_firstFocus(firstFocus)
    {
        window.installEventFilter(this);
    }

    void AddAligned(QWidget* child, Align align, const QSize& size)
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
                ScheduleScreenshots(m_window);
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
    struct Aligned {
        QPointer<QWidget> child;
        Align align;
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
        for (Align kind : {Align::Top, Align::Left, Align::Fill}) {
            for (const Aligned& a : m_aligned) {
                if (!a.child || a.child->parentWidget() != parent || a.align != kind)
                    continue;
                switch (kind) {
                case Align::Top:
                    a.child->setGeometry(area.left(), area.top(), area.width(), a.size.height());
                    if (!a.child->isHidden())
                        area.setTop(area.top() + a.size.height());
                    break;
                case Align::Left:
                    a.child->setGeometry(area.left(), area.top(), a.size.width(), area.height());
                    if (!a.child->isHidden())
                        area.setLeft(area.left() + a.size.width());
                    break;
                case Align::Fill:
                    a.child->setGeometry(area);
                    break;
                case Align::None:
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
    std::vector<Aligned> m_aligned;
    std::vector<std::pair<QPointer<QWidget>, int>> m_innerBorders;
    std::vector<QPointer<QLabel>> m_autoSized;
    std::vector<QPointer<QWidget>> m_watched;
    bool m_shown = false;
};

// ---------------------------------------------------------------------------

template <class T> T* Find(QWidget& window, const char* name)
{
    auto* widget = window.findChild<T*>(QString::fromLatin1(name));
    if (!widget)
        qWarning("Appearance: no control %s of the expected kind", name);
    return widget;
}

QFont WindowFont(int pixelSize, bool bold)
{
    QFont font(QString::fromLatin1(WindowFamily));
    font.setPixelSize(pixelSize);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void SetTextColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

void SetBackground(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// The widget that plays the window's client area.
QWidget* ClientOf(QWidget& window)
{
    if (auto* main = qobject_cast<QMainWindow*>(&window); main && main->centralWidget())
        return main->centralWidget();
    return &window;
}

// Where the client area of a parent starts, in the parent's coordinates: inside
// its frame and margins; a group box's children count from its top-left corner.
QPoint ClientOrigin(const QWidget* parent)
{
    if (qobject_cast<const QGroupBox*>(parent))
        return QPoint(0, 0);
    return parent->contentsRect().topLeft();
}

// A picture drawn centred in its box. Where the box is smaller, the picture's
// offset inside it is rounded toward zero, as the window was laid out: a
// 32 x 32 picture in a 31 x 29 box loses its rightmost column, its top row
// and its two bottom rows.
// A picture in proportion to the screen's setting (as drawn for 96 dpi when
// scale is 1).
QPixmap ScaledPicture(const char* picture, double scale)
{
    const QPixmap pixmap = LoadTransparentBitmap(QString::fromLatin1(picture));
    if (qFuzzyCompare(scale, 1.0) || pixmap.isNull())
        return pixmap;
    return pixmap.scaled(pixmap.size() * scale, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void SetPicture(QLabel* label, const char* picture, const QSize& box, double scale)
{
    if (!label)
        return;
    QPixmap pixmap = ScaledPicture(picture, scale);
    const int left = (box.width() - pixmap.width()) / 2;
    const int top = (box.height() - pixmap.height()) / 2;
    if (left < 0 || top < 0)
        pixmap = pixmap.copy(
            qMax(0, -left), qMax(0, -top), qMin(box.width(), pixmap.width()), qMin(box.height(), pixmap.height()));
    label->setPixmap(pixmap);
    label->setAlignment(Qt::AlignCenter);
    label->setScaledContents(false);
}

void SetButtonPicture(QAbstractButton* button, const char* picture, int size, double scale)
{
    if (!button)
        return;
    button->setIcon(QIcon(ScaledPicture(picture, scale)));
    button->setIconSize(QSize(size, size));
}

template <class Log> void SetLogLook(Log* log, const QFont& font, const QColor& text)
{
    if (!log)
        return;
    log->setFont(font);
    QPalette palette = log->palette();
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::WindowText, Qt::black);
    log->setPalette(palette);
    log->setFrameStyle(QFrame::Box | QFrame::Plain);
    log->setLineWidth(1);
    log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    log->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void SetLogLook(QWidget& window, const char* name, const QFont& font, const QColor& text)
{
    SetLogLook(Find<TLogView>(window, name), font, text);
}

// Lengths laid out for 96 dpi, in proportion on the screen's setting.
struct Scale {
    double factor;
    int operator()(int value) const { return qRound(value * factor); }
};

// The window: button-face background, a resizable frame with the system menu
// and the close button only, the application icon, the font.
void SetWindowLook(QWidget& window, const Scale& S)
{
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowCloseButtonHint);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    window.setPalette(palette);
    window.setFont(WindowFont(S(11), false));
    const QIcon icon = ApplicationIcon();
    window.setWindowIcon(icon);
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::setWindowIcon(icon);
}

void SetPanelFrames(QWidget& window)
{
    for (const char* name : {"pnConfig", "Panel1"}) {
        if (auto* panel = Find<QFrame>(window, name))
            panel->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    }
    if (auto* panel = Find<QFrame>(window, "Panel5"))
        panel->setFrameStyle(QFrame::NoFrame);
    for (const char* name : {"Panel3", "Panel2"}) {
        if (auto* panel = Find<QFrame>(window, name)) {
            panel->setFrameStyle(QFrame::Box | QFrame::Plain);
            panel->setLineWidth(1);
            SetBackground(panel, Cream);
        }
    }
}

// Frames, fonts and colours of the tab control, text fields, list, group
// boxes, labels and logs.
void SetControlLooks(QWidget& window, QStyle& style, const Scale& S)
{
    if (auto* tabs = Find<QTabWidget>(window, "PageControl1")) {
        tabs->setTabPosition(QTabWidget::West);
        tabs->setStyle(&style);
        tabs->tabBar()->setStyle(&style);
        tabs->tabBar()->setExpanding(false);
        tabs->setFont(WindowFont(S(11), true));
        // The tab bar takes the focus for the tab control, in its place in
        // the tab order; the container itself is no stop of its own.
        // (Setting it passes on to the tab bar, its focus proxy.)
        tabs->setFocusPolicy(Qt::NoFocus);
        tabs->tabBar()->setFocusPolicy(Qt::TabFocus);
    }
    for (const char* name : {"edServidor", "edCaminho", "edUsuario", "edSenha"}) {
        if (auto* edit = Find<QLineEdit>(window, name)) {
            edit->setStyle(&style);
            edit->setFrame(true);
            edit->setFont(WindowFont(S(13), false));
        }
    }
    if (auto* combo = Find<QComboBox>(window, "cmbBackups")) {
        combo->setStyle(&style);
        combo->setEditable(false);
        SetTextColour(combo, QPalette::Button, window.palette().color(QPalette::Button));
    }
    for (const char* name : {"gbRepositorio", "gbDestino", "gbArquivo_Restaurar", "GroupBox6"}) {
        if (auto* box = Find<QGroupBox>(window, name))
            box->setStyle(&style);
    }
    for (const char* name : {"Label13", "Label1"}) {
        if (auto* label = Find<QLabel>(window, name)) {
            label->setFont(WindowFont(S(11), true));
            SetTextColour(label, QPalette::WindowText, LabelBlue);
        }
    }
    for (const char* name : {"lblDestino", "lblLocal_Restaura", "lblBase_Restaurada"}) {
        if (auto* label = Find<QLabel>(window, name)) {
            label->setFont(WindowFont(S(11), true));
            SetTextColour(label, QPalette::WindowText, PathGrey);
            label->setWordWrap(false);
        }
    }
    SetLogLook(window, "mmBackup", WindowFont(S(11), false), BackupLogText);
    SetLogLook(window, "mmRestore", WindowFont(S(11), false), RestoreLogText);
}

// The buttons with their pictures, the pictures, the hint.
void SetPictures(QWidget& window, QStyle& style, const Scale& S)
{
    if (auto* button = Find<QToolButton>(window, "sbAbrir")) {
        button->setStyle(&style);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        SetButtonPicture(button, pictures::FolderSearch, S(24), S.factor);
        button->setToolTip(QStringLiteral("Pesquisa Pasta"));
    }
    if (auto* button = Find<QToolButton>(window, "SpeedButton1")) {
        button->setStyle(&style);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setFont(WindowFont(S(13), true));
        SetButtonPicture(button, pictures::TestConnection, S(32), S.factor);
    }
    for (const char* name : {"btnBackup", "btnRestore"}) {
        if (auto* button = Find<QPushButton>(window, name)) {
            button->setStyle(&style);
            SetButtonPicture(button, pictures::GearsPlay, S(32), S.factor);
        }
    }
    SetPicture(Find<QLabel>(window, "imgOk"), pictures::Ok, QSize(S(31), S(29)), S.factor);
    SetPicture(Find<QLabel>(window, "imgErro"), pictures::Error, QSize(S(31), S(29)), S.factor);
    SetPicture(Find<QLabel>(window, "Image1"), pictures::GearsPanel, QSize(S(100), S(100)), S.factor);
    SetPicture(Find<QLabel>(window, "Image2"), pictures::GearsPanel, QSize(S(100), S(100)), S.factor);
}

// The window's size and every control's place, parent before child; from
// then on the keeper holds the alignments.
void PlaceControls(QWidget& window, const Scale& S)
{
    QWidget* client = ClientOf(window);
    window.resize(window.size() - client->size() + QSize(S(WindowClientWidth), S(WindowClientHeight)));
    auto* keeper = new WindowKeeper(window, Find<QWidget>(window, "edServidor"));
    for (const AlignmentInset& inset : AlignmentInsets) {
        if (auto* parent = Find<QWidget>(window, inset.parent))
            keeper->SetInnerBorder(parent, S(inset.border));
    }
    for (const Placement& p : Placements) {
        auto* widget = Find<QWidget>(window, p.name);
        if (!widget)
            continue;
        QWidget* parent = widget->parentWidget();
        QWidget* expected = p.parent ? window.findChild<QWidget*>(QString::fromLatin1(p.parent)) : client;
        if (parent != expected)
            qWarning("Appearance: %s is not a child of %s", p.name, p.parent ? p.parent : "the window");
        if (!parent)
            continue;
        const QRect rect(ClientOrigin(parent) + QPoint(S(p.left), S(p.top)), QSize(S(p.width), S(p.height)));
        if (p.align != Align::None && parent->layout()) {
            // A layout already makes the control follow its parent: it only
            // needs the margins and the fixed side of the alignment.
            const int border = keeper->InnerBorder(parent);
            parent->layout()->setContentsMargins(border, border, border, border);
            parent->layout()->setSpacing(0);
            if (p.align == Align::Top)
                widget->setFixedHeight(rect.height());
            else if (p.align == Align::Left)
                widget->setFixedWidth(rect.width());
            continue;
        }
        widget->setGeometry(rect);
        auto* label = qobject_cast<QLabel*>(widget);
        if (p.align != Align::None)
            keeper->AddAligned(widget, p.align, rect.size());
        else if (label && label->pixmap().isNull())
            keeper->AddAutoSized(label);
    }
    keeper->AlignAll();
}

// The connection fields, the tab control's tab bar, then each page's
// controls; the tool buttons and pictures take no focus.
void SetTabOrder(QWidget& window)
{
    std::vector<QWidget*> order;
    for (const char* name : {"edServidor", "edCaminho", "edUsuario", "edSenha"})
        order.push_back(Find<QWidget>(window, name));
    if (auto* tabs = Find<QTabWidget>(window, "PageControl1"))
        order.push_back(tabs->tabBar());
    for (const char* name : {"mmBackup", "btnBackup", "cmbBackups", "mmRestore", "btnRestore"})
        order.push_back(Find<QWidget>(window, name));
    QWidget* previous = nullptr;
    for (QWidget* widget : order) {
        if (!widget)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

} // namespace

void RegisterWindowFonts()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    if (QFontDatabase::hasFamily(QString::fromLatin1(WindowFamily)))
        return;
    const QStringList folders = {QStringLiteral("/usr/share/wine/fonts"), QStringLiteral("/usr/share/fonts/wine"),
        QStringLiteral("/usr/share/fonts/truetype/wine"), QStringLiteral("/usr/share/fonts/truetype/msttcorefonts"),
        QDir::homePath() + QStringLiteral("/.fonts")};
    for (const QString& folder : folders) {
        for (const char* file : {"tahoma.ttf", "tahomabd.ttf", "Tahoma.ttf", "Tahoma_Bold.ttf"}) {
            const QString path = folder + QLatin1Char('/') + QLatin1String(file);
            if (QFileInfo::exists(path))
                QFontDatabase::addApplicationFont(path);
        }
        if (QFontDatabase::hasFamily(QString::fromLatin1(WindowFamily)))
            return;
    }
    qWarning("Appearance: the Tahoma font is not installed; the window uses a substitute");
}

QPixmap LoadTransparentBitmap(const QString& fileName)
{
    InitPictureResources();
    QImage image(fileName);
    if (image.isNull()) {
        qWarning("Appearance: cannot read picture %s", qUtf8Printable(fileName));
        return QPixmap();
    }
    const QRgb key = image.pixel(0, image.height() - 1);
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0x00FFFFFF) == (key & 0x00FFFFFF))
                line[x] = 0;
        }
    }
    return QPixmap::fromImage(image);
}

QIcon ApplicationIcon()
{
    InitPictureResources();
    return QIcon(QString::fromLatin1(pictures::ApplicationIcon));
}

void ApplyAppearance(QWidget& window)
{
    InitPictureResources();
    RegisterWindowFonts();
    const Scale S{window.logicalDpiY() / 96.0};
    auto* style = new AppearanceStyle(S.factor);
    style->setParent(&window);

    SetWindowLook(window, S);
    SetPanelFrames(window);
    SetControlLooks(window, *style, S);
    SetPictures(window, *style, S);
    PlaceControls(window, S);
    SetTabOrder(window);
}

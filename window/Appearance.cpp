#include "window/Appearance.h"

#include "logview/LogView.h"
#include "window/AppearanceStyle.h"
#include "window/BackupRestore.h"
#include "window/Geometry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QtGlobal>

#include <utility>
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

// ---------------------------------------------------------------------------
// Screenshot hook (scripts/screenshot, scripts/windows-screenshot): with
// ZUR_SCREENSHOT_DIR set, the window, once shown, saves a picture of itself
// with each page of the tab control shown (<page name>.png in that folder) and
// ends the program. With ZUR_SCREENSHOT_BACKUP set as well ("<server>|<database
// path>"), it first tests the connection and runs a backup of that database,
// as the operator would, and closes the box that ends the run, so that the
// pictures show its log.

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

void TakeScreenshots(QWidget& window, const QString& folder)
{
    QTimer::singleShot(500, &window, [&window, folder] {
        const QString backup = qEnvironmentVariable("ZUR_SCREENSHOT_BACKUP");
        if (!backup.isEmpty())
            RunBackupFirst(window, backup);
        SavePictures(window, folder);
        QCoreApplication::exit(0);
    });
}

// Takes the pictures once the window is first shown.
class TScreenshotsOnShow : public QObject {
public:
    TScreenshotsOnShow(QWidget& window, QString folder)
        : QObject(&window)
        , m_window(window)
        , m_folder(std::move(folder))
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &m_window && event->type() == QEvent::Show && !event->spontaneous()) {
            m_window.removeEventFilter(this);
            TakeScreenshots(m_window, m_folder);
        }
        return false;
    }

private:
    QWidget& m_window;
    QString m_folder;
};

void ScheduleScreenshots(QWidget& window)
{
    const QString folder = qEnvironmentVariable("ZUR_SCREENSHOT_DIR");
    if (!folder.isEmpty())
        new TScreenshotsOnShow(window, folder);
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

void SetLogLook(TLogView* log, const QFont& font, const QColor& text)
{
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

// The window: button-face background, a resizable frame with the system menu
// and the close button only, the application icon, the font.
void SetWindowLook(QWidget& window, const TScale& S)
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

void SetPanelFrames(TfrmPrincipal& w)
{
    for (QFrame* panel : {w.pnConfig, w.Panel1})
        panel->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    w.Panel5->setFrameStyle(QFrame::NoFrame);
    for (QFrame* panel : {w.Panel3, w.Panel2}) {
        panel->setFrameStyle(QFrame::Box | QFrame::Plain);
        panel->setLineWidth(1);
        SetBackground(panel, Cream);
    }
}

// Frames, fonts and colours of the tab control, text fields, list, group
// boxes, labels and logs.
void SetControlLooks(TfrmPrincipal& w, QStyle& style, const TScale& S)
{
    QTabWidget* tabs = w.PageControl1;
    tabs->setTabPosition(QTabWidget::West);
    tabs->setStyle(&style);
    tabs->tabBar()->setStyle(&style);
    tabs->tabBar()->setExpanding(false);
    tabs->setFont(WindowFont(S(11), true));
    // The tab bar takes the focus for the tab control, in its place in the
    // tab order; the container itself is no stop of its own. (Setting it
    // passes on to the tab bar, its focus proxy.)
    tabs->setFocusPolicy(Qt::NoFocus);
    tabs->tabBar()->setFocusPolicy(Qt::TabFocus);
    for (QLineEdit* edit : {w.edServidor, w.edCaminho, w.edUsuario, w.edSenha}) {
        edit->setStyle(&style);
        edit->setFrame(true);
        edit->setFont(WindowFont(S(13), false));
    }
    w.cmbBackups->setStyle(&style);
    w.cmbBackups->setEditable(false);
    SetTextColour(w.cmbBackups, QPalette::Button, w.palette().color(QPalette::Button));
    for (QGroupBox* box : {w.gbRepositorio, w.gbDestino, w.gbArquivo_Restaurar, w.GroupBox6})
        box->setStyle(&style);
    for (QLabel* label : {w.Label13, w.Label1}) {
        label->setFont(WindowFont(S(11), true));
        SetTextColour(label, QPalette::WindowText, LabelBlue);
    }
    for (QLabel* label : {w.lblDestino, w.lblLocal_Restaura, w.lblBase_Restaurada}) {
        label->setFont(WindowFont(S(11), true));
        SetTextColour(label, QPalette::WindowText, PathGrey);
        label->setWordWrap(false);
    }
    SetLogLook(w.mmBackup, WindowFont(S(11), false), BackupLogText);
    SetLogLook(w.mmRestore, WindowFont(S(11), false), RestoreLogText);
}

// The buttons with their pictures, the pictures, the hint. A picture's box
// is its label's size in the window's geometry.
void SetPictures(TfrmPrincipal& w, QStyle& style, const TScale& S)
{
    const TWindowGeometry& G = WindowGeometry;
    w.sbAbrir->setStyle(&style);
    w.sbAbrir->setAutoRaise(true);
    w.sbAbrir->setFocusPolicy(Qt::NoFocus);
    w.sbAbrir->setToolButtonStyle(Qt::ToolButtonIconOnly);
    SetButtonPicture(w.sbAbrir, pictures::FolderSearch, S(24), S.factor);
    w.sbAbrir->setToolTip(QStringLiteral("Pesquisa Pasta"));

    w.SpeedButton1->setStyle(&style);
    w.SpeedButton1->setAutoRaise(true);
    w.SpeedButton1->setFocusPolicy(Qt::NoFocus);
    w.SpeedButton1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    w.SpeedButton1->setFont(WindowFont(S(13), true));
    SetButtonPicture(w.SpeedButton1, pictures::TestConnection, S(32), S.factor);

    for (QPushButton* button : {w.btnBackup, w.btnRestore}) {
        button->setStyle(&style);
        SetButtonPicture(button, pictures::GearsPlay, S(32), S.factor);
    }
    const auto box = [&S](const TPlace& place) { return QSize(S(place.width), S(place.height)); };
    SetPicture(w.imgOk, pictures::Ok, box(G.imgOk), S.factor);
    SetPicture(w.imgErro, pictures::Error, box(G.imgErro), S.factor);
    SetPicture(w.Image1, pictures::GearsPanel, box(G.Image1), S.factor);
    SetPicture(w.Image2, pictures::GearsPanel, box(G.Image2), S.factor);
}

// The connection fields, the tab control's tab bar, then each page's
// controls; the tool buttons and pictures take no focus.
void SetTabOrder(TfrmPrincipal& w)
{
    const std::vector<QWidget*> order = {w.edServidor, w.edCaminho, w.edUsuario, w.edSenha, w.PageControl1->tabBar(),
        w.mmBackup, w.btnBackup, w.cmbBackups, w.mmRestore, w.btnRestore};
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
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

void ApplyAppearance(TfrmPrincipal& window)
{
    InitPictureResources();
    RegisterWindowFonts();
    const TScale S{window.logicalDpiY() / 96.0};
    QStyle* style = CreateAppearanceStyle(S.factor, &window);

    SetWindowLook(window, S);
    SetPanelFrames(window);
    SetControlLooks(window, *style, S);
    SetPictures(window, *style, S);
    const int pageBorder = S(WindowGeometry.pageBorder);
    PlaceControls(window, window.PlacedControls(),
        {{window.Backup, pageBorder}, {window.Restore, pageBorder}, {window.Panel5, S(WindowGeometry.pictureBorder)}},
        window.edServidor, S);
    SetTabOrder(window);
    ScheduleScreenshots(window);
}

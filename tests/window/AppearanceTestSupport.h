#pragma once
// What the window's appearance tests share: the places every control is
// expected at, the reading of pictures, and a window shown with each page.

#include "WindowTestSupport.h"

#include "window/Appearance.h"

#include <QAbstractScrollArea>
#include <QComboBox>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryFile>
#include <QToolButton>
#include <QtEndian>

#include <map>
#include <set>

inline const QColor Cream(255, 251, 240);
inline const QColor Blue(0, 0, 255);
inline const QColor Grey(128, 128, 128);
inline const QColor Yellow(255, 255, 0);
inline const QColor Lime(0, 255, 0);

// Sizes that the label takes from its text instead of a fixed one.
inline const int TextWidth = -1;

struct Place {
    const char* name;
    const char* parent;
    int left;
    int top;
    int width;
    int height;
};

// Parent-relative positions and sizes at 96 dpi, at the window's initial size.
inline const Place Places[] = {
    {"pnConfig", "frmPrincipal", 0, 0, 566, 124},
    {"Label13", "pnConfig", 20, 15, TextWidth, 13},
    {"edServidor", "pnConfig", 30, 30, 105, 23},
    {"edCaminho", "pnConfig", 140, 30, 330, 23},
    {"sbAbrir", "pnConfig", 470, 28, 29, 28},
    {"Label1", "pnConfig", 20, 70, TextWidth, 13},
    {"edUsuario", "pnConfig", 30, 85, 75, 23},
    {"edSenha", "pnConfig", 110, 85, 80, 23},
    {"SpeedButton1", "pnConfig", 244, 81, 150, 29},
    {"Panel5", "pnConfig", 400, 77, 39, 33},
    {"imgOk", "Panel5", 2, 2, 31, 29},
    {"imgErro", "Panel5", 2, 2, 31, 29},
    {"Panel1", "frmPrincipal", 0, 124, 566, 339},
    {"PageControl1", "Panel1", 0, 0, 562, 335},
    {"Panel3", "Backup", 0, 0, 524, 317},
    {"Image1", "Panel3", 425, 16, 100, 100},
    {"gbRepositorio", "Panel3", 16, 16, 404, 41},
    {"lblDestino", "gbRepositorio", 10, 19, TextWidth, 13},
    {"btnBackup", "Panel3", 16, 68, 145, 41},
    {"mmBackup", "Panel3", 16, 120, 505, 167},
    {"Panel2", "Restore", 0, 0, 524, 317},
    {"Image2", "Panel2", 11, 12, 100, 100},
    {"gbDestino", "Panel2", 117, 16, 404, 41},
    {"lblLocal_Restaura", "gbDestino", 10, 19, TextWidth, 13},
    {"gbArquivo_Restaurar", "Panel2", 117, 64, 404, 49},
    {"cmbBackups", "gbArquivo_Restaurar", 8, 19, 377, 21},
    {"btnRestore", "Panel2", 16, 128, 145, 41},
    {"mmRestore", "Panel2", 16, 175, 505, 113},
    {"GroupBox6", "Panel2", 16, 295, 505, 41},
    {"lblBase_Restaurada", "GroupBox6", 10, 19, TextWidth, 13},
};

// Where each parent's client area starts: inside the 2-pixel sunken edges of
// pnConfig and Panel1, the 1-pixel lines of the page panels and the 5-pixel
// border of each page; a group box's children count from its corner.
inline const std::map<QString, int> ClientOffsets = {
    {"frmPrincipal", 0},
    {"pnConfig", 2},
    {"Panel5", 0},
    {"Panel1", 2},
    {"Backup", 5},
    {"Restore", 5},
    {"Panel3", 1},
    {"Panel2", 1},
    {"gbRepositorio", 0},
    {"gbDestino", 0},
    {"gbArquivo_Restaurar", 0},
    {"GroupBox6", 0},
};

inline QRect PlaceInParent(const QWidget& widget)
{
    const QWidget* parent = widget.parentWidget();
    const int offset = ClientOffsets.at(parent->objectName());
    return widget.geometry().translated(-offset, -offset);
}

// The name under which the focus is reported: the tab control for its tab bar.
inline QString FocusName(const QWidget* widget)
{
    if (!widget)
        return QStringLiteral("(none)");
    if (qobject_cast<const QTabBar*>(widget) && widget->parentWidget())
        return widget->parentWidget()->objectName();
    return widget->objectName();
}

inline QByteArray ReadResource(const char* path)
{
    QFile file(QString::fromLatin1(path));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    return file.readAll();
}

inline QRgb Rgb(const QColor& colour)
{
    return colour.rgb() & 0xFFFFFF;
}

inline QRgb Rgb(const QImage& image, const QPoint& point)
{
    return image.pixel(point) & 0xFFFFFF;
}

inline quint16 U16(const QByteArray& data, int offset)
{
    return qFromLittleEndian<quint16>(data.constData() + offset);
}

inline quint32 U32(const QByteArray& data, int offset)
{
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

// Whether a column of a button's picture holds only its background.
inline bool ColumnIsEmpty(const QImage& image, int x)
{
    for (int y = 3; y < image.height() - 3; ++y) {
        const QColor background = image.pixelColor(3, y);
        const QColor pixel = image.pixelColor(x, y);
        if (qAbs(pixel.red() - background.red()) + qAbs(pixel.green() - background.green())
                + qAbs(pixel.blue() - background.blue())
            > 60)
            return false;
    }
    return true;
}

inline bool ColumnIsTransparent(const QImage& image, int x)
{
    for (int y = 0; y < image.height(); ++y) {
        if (qAlpha(image.pixel(x, y)) != 0)
            return false;
    }
    return true;
}

// The first and last column of a button's picture that hold more than the
// background, inside a margin of 3 pixels for the button's frame.
inline std::pair<int, int> ContentColumns(const QImage& image)
{
    int first = -1;
    int last = -1;
    for (int x = 3; x < image.width() - 3; ++x) {
        if (!ColumnIsEmpty(image, x)) {
            if (first < 0)
                first = x;
            last = x;
        }
    }
    return {first, last};
}

// Shows the window and each page once, the Backup page last.
inline void ShowWithEachPage(QWidget& window)
{
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    tabs->setCurrentIndex(1);
    QCoreApplication::processEvents();
    tabs->setCurrentIndex(0);
    QCoreApplication::processEvents();
}

class AppearanceTest : public WindowTest {
protected:
    // A window shown and laid out, each page shown once, the Backup page last.
    std::unique_ptr<TfrmPrincipal> ShowWindow()
    {
        auto window = MakeWindow();
        ShowWithEachPage(*window);
        return window;
    }

    static void ExpectPlaces(QWidget& window)
    {
        for (const Place& place : Places) {
            SCOPED_TRACE(place.name);
            auto* widget = Find<QWidget>(window, place.name);
            if (!widget)
                continue;
            ASSERT_NE(widget->parentWidget(), nullptr);
            EXPECT_EQ(widget->parentWidget()->objectName(), QString::fromLatin1(place.parent));
            const QRect rect = PlaceInParent(*widget);
            int width = place.width;
            if (width == TextWidth) {
                auto* label = qobject_cast<QLabel*>(widget);
                ASSERT_NE(label, nullptr);
                width = QFontMetrics(label->font()).horizontalAdvance(label->text());
            }
            EXPECT_EQ(rect, QRect(place.left, place.top, width, place.height));
        }
    }
};

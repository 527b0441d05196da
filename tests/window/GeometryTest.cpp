// The window's geometry: the place and size of every control, how the window
// grows and where it stands, and the same in proportion at 144 dpi.

#include "AppearanceTestSupport.h"

TEST_F(AppearanceTest, EveryControlSitsInItsParentAtItsPlaceAndSize)
{
    auto window = ShowWindow();
    ASSERT_EQ(window->logicalDpiY(), 96) << "the layout is given for a screen of 96 dots per inch";
    EXPECT_EQ(window->size(), QSize(566, 463));
    EXPECT_EQ(Find<QTabWidget>(*window, "PageControl1")->tabPosition(), QTabWidget::West);
    ExpectPlaces(*window);
}

TEST_F(AppearanceTest, LabelsFollowTheirTextAndLongPathsAreCutAtTheGroupBox)
{
    auto window = ShowWindow();
    auto* label = Find<QLabel>(*window, "lblBase_Restaurada");
    auto* box = Find<QGroupBox>(*window, "GroupBox6");
    auto* tabs = Find<QTabWidget>(*window, "PageControl1");
    const QString path = QStringLiteral("C:\\QRT\\DADOS\\") + QString(80, QLatin1Char('X')) + QStringLiteral(".FDB");
    const int width = QFontMetrics(label->font()).horizontalAdvance(path);

    // Text set while the page is hidden: the label fits it once shown.
    label->setText(path);
    tabs->setCurrentIndex(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(label->geometry(), QRect(10, 19, width, 13));
    EXPECT_GT(label->geometry().right(), box->rect().right()); // runs on, clipped by the group box

    // Text set while shown.
    label->setText(QStringLiteral("..."));
    QCoreApplication::processEvents();
    EXPECT_EQ(label->geometry(), QRect(10, 19, QFontMetrics(label->font()).horizontalAdvance("..."), 13));
}

TEST_F(AppearanceTest, GrowingTheWindowOnlyAddsEmptySpace)
{
    auto window = ShowWindow();
    auto* restorePanel = Find<QWidget>(*window, "Panel2");
    auto* lastGroup = Find<QWidget>(*window, "GroupBox6");
    auto* lastLabel = Find<QWidget>(*window, "lblBase_Restaurada");
    const QRect panelClient = restorePanel->contentsRect();
    // At the initial size the caption of the last group box shows, its label lies below the panel's edge.
    EXPECT_LT(lastGroup->geometry().top() + QFontMetrics(lastGroup->font()).height(), panelClient.bottom());
    EXPECT_GT(lastGroup->geometry().top() + lastLabel->geometry().bottom(), panelClient.bottom());

    std::map<QString, QRect> before;
    for (const Place& place : Places)
        before[QString::fromLatin1(place.name)] = Find<QWidget>(*window, place.name)->geometry();

    window->resize(566 + 120, 463 + 60);
    auto* tabs = Find<QTabWidget>(*window, "PageControl1");
    for (int page : {1, 0}) {
        tabs->setCurrentIndex(page);
        QCoreApplication::processEvents();
    }

    const std::map<QString, QRect> grown = {
        {"pnConfig", QRect(0, 0, 686, 124)},
        {"Panel1", QRect(0, 124, 686, 399)},
        {"PageControl1", QRect(0, 0, 682, 395)},
        {"Panel3", QRect(0, 0, 644, 377)},
        {"Panel2", QRect(0, 0, 644, 377)},
    };
    for (const Place& place : Places) {
        SCOPED_TRACE(place.name);
        auto* widget = Find<QWidget>(*window, place.name);
        const auto it = grown.find(QString::fromLatin1(place.name));
        if (it != grown.end())
            EXPECT_EQ(PlaceInParent(*widget), it->second);
        else
            EXPECT_EQ(widget->geometry(), before[QString::fromLatin1(place.name)]);
    }
    // Now the whole last group box is inside its panel.
    EXPECT_LE(lastGroup->geometry().bottom(), restorePanel->contentsRect().bottom());
}

TEST_F(AppearanceTest, TheWindowIsCentredResizableAndHasOnlyTheSystemMenuAndCloseButton)
{
    auto window = ShowWindow();
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_GT(window->maximumWidth(), window->width());
    EXPECT_GT(window->maximumHeight(), window->height());

    const QPoint centre = window->screen()->geometry().center();
    const QPoint offset = window->frameGeometry().center() - centre;
    EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
    EXPECT_EQ(window->palette().color(QPalette::Window), window->palette().color(QPalette::Button));
}

namespace {

// A screen of 144 dots per inch without the platform's own scaling: the window
// scales its layout and fonts by 1.5 itself.
class AppearanceAt144DpiTest : public WindowTest {
public:
    static void SetUpTestSuite()
    {
        // A path relative to the working directory: the platform's options are
        // separated by ":", which a drive letter would bring in.
        static QTemporaryFile config(QStringLiteral("zur-screen-XXXXXX.json"));
        ASSERT_TRUE(config.open());
        config.write(R"({"screens": [{"name": "wide", "x": 0, "y": 0, "width": 1600, "height": 1200,
                         "logicalDpi": 144, "logicalBaseDpi": 96, "dpr": 1}]})");
        config.flush();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
        WindowTest::SetUpTestSuite();
    }
};

int Scaled(int value)
{
    return qRound(value * 1.5);
}

} // namespace

TEST_F(AppearanceAt144DpiTest, GeometryFontsAndPicturesScaleInProportion)
{
    auto window = MakeWindow();
    ShowWithEachPage(*window);
    ASSERT_EQ(window->logicalDpiY(), 144);
    EXPECT_EQ(window->size(), QSize(Scaled(566), Scaled(463)));
    EXPECT_EQ(Find<QWidget>(*window, "pnConfig")->height(), Scaled(124));
    for (const Place& place : Places) {
        const QString parent = QString::fromLatin1(place.parent);
        // The frames keep their width; the pages' borders and the tab column are left out here.
        if (parent == QLatin1String("frmPrincipal") || parent == QLatin1String("Panel1")
            || parent == QLatin1String("Backup") || parent == QLatin1String("Restore"))
            continue;
        SCOPED_TRACE(place.name);
        auto* widget = Find<QWidget>(*window, place.name);
        int width = Scaled(place.width);
        if (place.width == TextWidth) {
            auto* label = qobject_cast<QLabel*>(widget);
            width = QFontMetrics(label->font()).horizontalAdvance(label->text());
        }
        EXPECT_EQ(PlaceInParent(*widget), QRect(Scaled(place.left), Scaled(place.top), width, Scaled(place.height)));
    }
    EXPECT_EQ(QFontInfo(window->font()).pixelSize(), Scaled(11));
    EXPECT_EQ(QFontInfo(Find<QWidget>(*window, "edServidor")->font()).pixelSize(), Scaled(13));
    EXPECT_EQ(Find<QLabel>(*window, "Image1")->pixmap().size(), QSize(Scaled(100), Scaled(100)));
    EXPECT_EQ(Find<QLabel>(*window, "imgErro")->pixmap().size(), QSize(Scaled(31), Scaled(29)));
    EXPECT_EQ(Find<QAbstractButton>(*window, "btnBackup")->iconSize(), QSize(Scaled(32), Scaled(32)));
}

// The window's look: the frames, fonts and colours, the pictures and the
// icon, the hint, the tab order and the accelerators.

#include "AppearanceTestSupport.h"

TEST_F(AppearanceTest, FontsAndColoursOfTheControls)
{
    auto window = ShowWindow();
    struct FontCase {
        const char* name;
        int pixelSize;
        bool bold;
    };
    const FontCase fonts[] = {
        {"frmPrincipal", 11, false},
        {"sbAbrir", 11, false},
        {"Label13", 11, true},
        {"Label1", 11, true},
        {"edServidor", 13, false},
        {"edCaminho", 13, false},
        {"edUsuario", 13, false},
        {"edSenha", 13, false},
        {"SpeedButton1", 13, true},
        {"PageControl1", 11, true},
        {"gbRepositorio", 11, true},
        {"gbDestino", 11, true},
        {"gbArquivo_Restaurar", 11, true},
        {"GroupBox6", 11, true},
        {"cmbBackups", 11, true},
        {"btnBackup", 11, true},
        {"btnRestore", 11, true},
        {"lblDestino", 11, true},
        {"lblLocal_Restaura", 11, true},
        {"lblBase_Restaurada", 11, true},
        {"mmBackup", 11, false},
        {"mmRestore", 11, false},
    };
    for (const FontCase& c : fonts) {
        SCOPED_TRACE(c.name);
        QWidget* widget = c.name == std::string("frmPrincipal") ? window.get() : Find<QWidget>(*window, c.name);
        const QFontInfo info(widget->font());
        EXPECT_EQ(info.family(), QStringLiteral("Tahoma"));
        EXPECT_EQ(info.pixelSize(), c.pixelSize);
        EXPECT_EQ(info.bold(), c.bold);
    }
    // The tab captions are in the tab control's font.
    EXPECT_TRUE(QFontInfo(Find<QTabWidget>(*window, "PageControl1")->tabBar()->font()).bold());

    struct ColourCase {
        const char* name;
        QPalette::ColorRole role;
        QColor colour;
    };
    const ColourCase colours[] = {
        {"Label13", QPalette::WindowText, Blue},
        {"Label1", QPalette::WindowText, Blue},
        {"lblDestino", QPalette::WindowText, Grey},
        {"lblLocal_Restaura", QPalette::WindowText, Grey},
        {"lblBase_Restaurada", QPalette::WindowText, Grey},
        {"mmBackup", QPalette::Text, Yellow},
        {"mmBackup", QPalette::Base, Qt::black},
        {"mmRestore", QPalette::Text, Lime},
        {"mmRestore", QPalette::Base, Qt::black},
        {"Panel3", QPalette::Window, Cream},
        {"Panel2", QPalette::Window, Cream},
        {"gbRepositorio", QPalette::Window, Cream},
    };
    for (const ColourCase& c : colours) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Find<QWidget>(*window, c.name)->palette().color(c.role), c.colour);
    }
    EXPECT_TRUE(Find<QWidget>(*window, "Panel3")->autoFillBackground());
    EXPECT_TRUE(Find<QWidget>(*window, "Panel2")->autoFillBackground());
}

TEST_F(AppearanceTest, LogsWrapLongLinesShowNoScrollBarsAndStayEditable)
{
    auto window = ShowWindow();
    for (const char* name : {"mmBackup", "mmRestore"}) {
        SCOPED_TRACE(name);
        auto* log = Find<QAbstractScrollArea>(*window, name);
        EXPECT_EQ(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        EXPECT_EQ(log->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        EXPECT_EQ(log->property("lineWrapMode").toInt(), 1); // wrapped at the widget's width
        EXPECT_FALSE(log->property("readOnly").toBool());
        EXPECT_EQ(log->frameWidth(), 1); // flat, no 3-D edge
    }
}

TEST_F(AppearanceTest, PanelsFieldsAndListAreDrawnWithTheirFrames)
{
    auto window = ShowWindow();
    struct FrameCase {
        const char* name;
        int shape;
        int shadow;
        int width;
    };
    const FrameCase frames[] = {
        {"pnConfig", QFrame::WinPanel, QFrame::Sunken, 2},
        {"Panel1", QFrame::WinPanel, QFrame::Sunken, 2},
        {"Panel5", QFrame::NoFrame, QFrame::Plain, 0},
        {"Panel3", QFrame::Box, QFrame::Plain, 1},
        {"Panel2", QFrame::Box, QFrame::Plain, 1},
    };
    for (const FrameCase& c : frames) {
        SCOPED_TRACE(c.name);
        auto* frame = Find<QFrame>(*window, c.name);
        EXPECT_EQ(frame->frameShape(), c.shape);
        if (c.shape != QFrame::NoFrame) {
            EXPECT_EQ(frame->frameShadow(), c.shadow);
        }
        EXPECT_EQ(frame->frameWidth(), c.width);
    }

    // A text field: a raised outer bevel and a lowered inner one, 2 pixels each.
    const QPalette palette = window->palette();
    const QImage edit = Find<QWidget>(*window, "edServidor")->grab().toImage();
    const int w = edit.width();
    const int h = edit.height();
    const QPoint light[] = {{0, 0}, {1, 5}, {w - 3, h - 3}, {w - 4, 5}};
    const QPoint dark[] = {{w - 1, h - 1}, {w - 2, 5}, {2, 2}, {3, 5}};
    for (const QPoint& p : light)
        EXPECT_EQ(Rgb(edit, p), Rgb(palette.color(QPalette::Light))) << p.x() << "," << p.y();
    for (const QPoint& p : dark)
        EXPECT_EQ(Rgb(edit, p), Rgb(palette.color(QPalette::Dark))) << p.x() << "," << p.y();

    // The drop-down list: 1-pixel bevels, the button face inside.
    const QImage combo = Find<QWidget>(*window, "cmbBackups")->grab().toImage();
    EXPECT_EQ(Rgb(combo, {0, 0}), Rgb(palette.color(QPalette::Light)));
    EXPECT_EQ(Rgb(combo, {1, 1}), Rgb(palette.color(QPalette::Dark)));
    EXPECT_EQ(Rgb(combo, {combo.width() - 1, combo.height() - 1}), Rgb(palette.color(QPalette::Dark)));
    EXPECT_EQ(Rgb(combo, {20, combo.height() / 2}), Rgb(palette.color(QPalette::Button)));

    // A group box: a flat 1-pixel frame whose top runs through the caption's middle.
    auto* box = Find<QGroupBox>(*window, "gbRepositorio");
    const QImage boxImage = box->grab().toImage();
    const int frameTop = QFontMetrics(box->font()).height() / 2 - 1;
    EXPECT_EQ(Rgb(boxImage, {2, frameTop}), 0u);
    EXPECT_EQ(Rgb(boxImage, {0, boxImage.height() / 2}), 0u);
    EXPECT_EQ(Rgb(boxImage, {1, boxImage.height() / 2}), Rgb(Cream));
    EXPECT_EQ(Rgb(boxImage, {boxImage.width() - 1, boxImage.height() - 1}), 0u);
}

TEST_F(AppearanceTest, TheFocusStartsOnTheServerAndTabFollowsThePagesOrder)
{
    auto window = ShowWindow();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_EQ(FocusName(QApplication::focusWidget()), QStringLiteral("edServidor"));

    auto* tabs = Find<QTabWidget>(*window, "PageControl1");
    const std::vector<std::pair<int, std::vector<QString>>> pages = {
        {0, {"edCaminho", "edUsuario", "edSenha", "PageControl1", "mmBackup", "btnBackup", "edServidor"}},
        {1,
            {"edCaminho", "edUsuario", "edSenha", "PageControl1", "cmbBackups", "mmRestore", "btnRestore",
                "edServidor"}},
    };
    for (const auto& [page, expected] : pages) {
        SCOPED_TRACE(page);
        tabs->setCurrentIndex(page);
        Find<QWidget>(*window, "edServidor")->setFocus();
        QCoreApplication::processEvents();
        std::vector<QString> visited;
        for (size_t i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.push_back(FocusName(QApplication::focusWidget()));
        }
        EXPECT_EQ(visited, expected);
    }
    for (const char* name : {"sbAbrir", "SpeedButton1", "imgOk", "imgErro", "Image1", "Image2", "Panel5"})
        EXPECT_EQ(Find<QWidget>(*window, name)->focusPolicy(), Qt::NoFocus) << name;
}

TEST_F(AppearanceTest, OnlyTheFolderButtonShowsAHint)
{
    auto window = MakeWindow();
    EXPECT_EQ(Find<QWidget>(*window, "sbAbrir")->toolTip(), QStringLiteral("Pesquisa Pasta"));
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->objectName() != QLatin1String("sbAbrir")) {
            EXPECT_TRUE(widget->toolTip().isEmpty()) << widget->objectName().toStdString();
        }
    }
}

TEST_F(AppearanceTest, AltWithTheUnderlinedLetterPressesTheButtonOfTheShownPage)
{
    auto window = ShowWindow();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto* backup = Find<QPushButton>(*window, "btnBackup");
    auto* restore = Find<QPushButton>(*window, "btnRestore");
    // Only the presses are counted here; the runs are not started.
    QObject::disconnect(backup, &QPushButton::clicked, nullptr, nullptr);
    QObject::disconnect(restore, &QPushButton::clicked, nullptr, nullptr);
    QSignalSpy backupClicks(backup, &QPushButton::clicked);
    QSignalSpy restoreClicks(restore, &QPushButton::clicked);
    auto* tabs = Find<QTabWidget>(*window, "PageControl1");

    // A button pressed by its accelerator clicks a moment later, as if animated.
    const auto pressAndWait = [&window](Qt::Key key) {
        QTest::keyClick(window.get(), key, Qt::AltModifier);
        QTest::qWait(300);
    };
    pressAndWait(Qt::Key_R);
    pressAndWait(Qt::Key_B);
    EXPECT_EQ(backupClicks.count(), 1);
    EXPECT_EQ(restoreClicks.count(), 0);

    tabs->setCurrentIndex(1);
    QCoreApplication::processEvents();
    pressAndWait(Qt::Key_B);
    pressAndWait(Qt::Key_R);
    EXPECT_EQ(backupClicks.count(), 1);
    EXPECT_EQ(restoreClicks.count(), 1);
}

TEST_F(AppearanceTest, PicturesAre256ColourBitmapsOfTheirSizesWithAWhiteBackground)
{
    const struct {
        const char* path;
        int size;
    } bitmaps[] = {
        {pictures::FolderSearch, 24},
        {pictures::TestConnection, 32},
        {pictures::Ok, 32},
        {pictures::Error, 32},
        {pictures::GearsPlay, 32},
        {pictures::GearsPanel, 100},
    };
    for (const auto& bitmap : bitmaps) {
        SCOPED_TRACE(bitmap.path);
        const QByteArray data = ReadResource(bitmap.path);
        ASSERT_GT(data.size(), 54);
        EXPECT_EQ(data.left(2), QByteArray("BM"));
        const quint32 pixelsAt = U32(data, 10);
        EXPECT_EQ(U32(data, 14), 40u); // BITMAPINFOHEADER
        EXPECT_EQ(static_cast<int>(U32(data, 18)), bitmap.size);
        EXPECT_EQ(static_cast<int>(U32(data, 22)), bitmap.size); // bottom-up
        EXPECT_EQ(U16(data, 28), 8); // bits per pixel
        EXPECT_EQ(U32(data, 30), 0u); // uncompressed
        const quint32 colours = U32(data, 46) ? U32(data, 46) : 256;
        EXPECT_LE(colours, 256u);
        EXPECT_EQ(pixelsAt, 14 + 40 + 4 * colours); // the colour table fills the gap
        // The bottom-left pixel (first of the bottom-up rows) is white.
        const int index = static_cast<quint8>(data.at(static_cast<int>(pixelsAt)));
        EXPECT_EQ(data.mid(54 + 4 * index, 3), QByteArray("\xFF\xFF\xFF", 3));

        // Drawn with that white transparent, and only that.
        const QImage image = LoadTransparentBitmap(QString::fromLatin1(bitmap.path)).toImage();
        ASSERT_EQ(image.size(), QSize(bitmap.size, bitmap.size));
        EXPECT_EQ(qAlpha(image.pixel(0, bitmap.size - 1)), 0);
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                if (qAlpha(pixel) != 0) {
                    ++opaque;
                    EXPECT_NE(pixel & 0xFFFFFF, 0xFFFFFFu);
                }
            }
        }
        EXPECT_GT(opaque, image.width() * image.height() / 4);
    }
}

TEST_F(AppearanceTest, ControlsShowTheirPictures)
{
    auto window = ShowWindow();
    for (const char* name : {"Image1", "Image2"})
        EXPECT_EQ(Find<QLabel>(*window, name)->pixmap().size(), QSize(100, 100)) << name;
    const struct {
        const char* name;
        int size;
    } buttons[] = {{"sbAbrir", 24}, {"SpeedButton1", 32}, {"btnBackup", 32}, {"btnRestore", 32}};
    for (const auto& b : buttons) {
        auto* button = Find<QAbstractButton>(*window, b.name);
        EXPECT_FALSE(button->icon().isNull()) << b.name;
        EXPECT_EQ(button->iconSize(), QSize(b.size, b.size)) << b.name;
    }
    auto* folder = Find<QToolButton>(*window, "sbAbrir");
    EXPECT_TRUE(folder->autoRaise());
    EXPECT_EQ(folder->toolButtonStyle(), Qt::ToolButtonIconOnly);
    auto* test = Find<QToolButton>(*window, "SpeedButton1");
    EXPECT_TRUE(test->autoRaise());
    EXPECT_EQ(test->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);

    // imgErro shows its 32 x 32 picture in a 31 x 29 box: the rightmost
    // column, the top row and the two bottom rows are cut off.
    auto* ok = Find<QLabel>(*window, "imgOk");
    auto* error = Find<QLabel>(*window, "imgErro");
    EXPECT_TRUE(error->isVisible());
    EXPECT_FALSE(ok->isVisible());
    ok->show();
    error->hide();
    for (const auto& [label, path] : {std::pair(ok, pictures::Ok), std::pair(error, pictures::Error)}) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(label->isVisible());
        EXPECT_EQ(label->geometry(), QRect(2, 2, 31, 29));
        const QImage shown = label->grab().toImage();
        const QImage picture = LoadTransparentBitmap(QString::fromLatin1(path)).toImage();
        ASSERT_EQ(shown.size(), QSize(31, 29));
        int compared = 0;
        for (int y = 0; y < 29; ++y) {
            for (int x = 0; x < 31; ++x) {
                const QRgb source = picture.pixel(x, y + 1);
                if (qAlpha(source) == 255) {
                    EXPECT_EQ(shown.pixel(x, y) & 0xFFFFFF, source & 0xFFFFFF) << x << "," << y;
                    ++compared;
                }
            }
        }
        EXPECT_GT(compared, 500);
        ok->hide();
        error->show();
    }
}

TEST_F(AppearanceTest, ButtonPicturesStandFourPixelsLeftOfTheCaptionCentredTogether)
{
    auto window = ShowWindow();
    const struct {
        const char* name;
        const char* picture;
    } buttons[] = {{"SpeedButton1", pictures::TestConnection}, {"btnBackup", pictures::GearsPlay}};
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.name);
        auto* button = Find<QAbstractButton>(*window, b.name);
        const QImage image = button->grab().toImage();
        // The picture's first opaque column, its place on the button.
        const QImage picture = LoadTransparentBitmap(QString::fromLatin1(b.picture)).toImage();
        int pictureInk = 0;
        while (ColumnIsTransparent(picture, pictureInk))
            ++pictureInk;
        const QString caption = button->text().remove(QLatin1Char('&'));
        const QFontMetrics metrics(button->font());
        const int together = 32 + 4 + metrics.horizontalAdvance(caption);
        const int pictureLeft = (button->width() - together) / 2;

        const auto [first, last] = ContentColumns(image);
        ASSERT_GE(first, 0);
        const int shownLeft = first - pictureInk;
        EXPECT_NEAR(shownLeft, pictureLeft, 1);
        // The caption 4 pixels right of the 32-pixel picture, nothing between them.
        const QRect ink = metrics.tightBoundingRect(caption);
        const int captionLeft = shownLeft + 32 + 4;
        for (int x = shownLeft + 32; x < captionLeft + ink.left(); ++x)
            EXPECT_TRUE(ColumnIsEmpty(image, x)) << x;
        EXPECT_FALSE(
            ColumnIsEmpty(image, captionLeft + ink.left()) && ColumnIsEmpty(image, captionLeft + ink.left() + 1));
        EXPECT_NEAR(last, captionLeft + ink.right(), 1);
    }
}

TEST_F(AppearanceTest, TheIconHoldsEightImagesAndIsTheWindowsIcon)
{
    const QByteArray data = ReadResource(pictures::ApplicationIcon);
    ASSERT_GE(data.size(), 6);
    EXPECT_EQ(U16(data, 0), 0);
    EXPECT_EQ(U16(data, 2), 1); // an icon
    ASSERT_EQ(U16(data, 4), 8);
    std::set<std::pair<int, int>> images;
    for (int i = 0; i < 8; ++i) {
        const int entry = 6 + 16 * i;
        const int width = static_cast<quint8>(data.at(entry));
        const int height = static_cast<quint8>(data.at(entry + 1));
        EXPECT_EQ(width, height);
        const int bits = U16(data, entry + 6);
        images.insert({width, bits});
        // The image's own header agrees with its directory entry.
        const quint32 at = U32(data, entry + 12);
        ASSERT_LE(at + 40, static_cast<quint32>(data.size()));
        EXPECT_EQ(static_cast<int>(U32(data, static_cast<int>(at) + 4)), width);
        EXPECT_EQ(U16(data, static_cast<int>(at) + 14), bits);
    }
    const std::set<std::pair<int, int>> expected
        = {{16, 8}, {24, 8}, {32, 8}, {48, 8}, {16, 32}, {24, 32}, {32, 32}, {48, 32}};
    EXPECT_EQ(images, expected);

    auto window = MakeWindow();
    for (const QIcon& icon : {window->windowIcon(), QApplication::windowIcon()}) {
        const QList<QSize> sizes = icon.availableSizes();
        for (int size : {16, 24, 32, 48})
            EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    }
}

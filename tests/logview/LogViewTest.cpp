// The box that shows a run's log: the text it keeps for what the runs put
// into it, the operator's editing with keys and mouse, wrapping, and a view
// that follows the end of the log only while the end is shown.

#include "logview/LogView.h"
#include "WindowTestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

inline void PrintTo(const TLogPosition& position, std::ostream* out)
{
    *out << "(" << position.Line << ", " << position.Column << ")";
}

QStringList Numbered(int count, const QString& prefix = QStringLiteral("gbak: line "))
{
    QStringList lines;
    for (int i = 0; i < count; ++i)
        lines << prefix + QString::number(i);
    return lines;
}

class LogViewTest : public WindowTest {
protected:
    // A shown box of the given size in a window with a second field that can take the focus.
    TLogView& ShownLog(int width = 300, int height = 120)
    {
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        log = new TLogView;
        log->setFixedSize(width, height);
        layout->addWidget(log);
        next = new QLineEdit;
        layout->addWidget(next);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        log->setFocus();
        QApplication::processEvents();
        return *log;
    }
    // The middle of a row of the box, `x` from its text's left edge.
    QPoint RowPoint(int row, int x = 1) const
    {
        const int height = QFontMetrics(log->font()).height();
        return {4 + x, 4 + row * height + height / 2};
    }

    std::unique_ptr<QWidget> window;
    TLogView* log = nullptr;
    QLineEdit* next = nullptr;
};

} // namespace

TEST_F(LogViewTest, KeepsTheTextThatATextEditKeepsForTheSameWrites)
{
    enum class TWrite { Append, InsertAtEnd, Replace };
    struct TCase {
        const char* name;
        std::vector<std::pair<TWrite, QString>> writes;
    };
    const std::vector<TCase> cases{
        {"server lines with empty ones",
            {{TWrite::Append, ""}, {TWrite::Append, "gbak: a"}, {TWrite::Append, ""}, {TWrite::Append, "b"}}},
        {"lines that hold breaks",
            {{TWrite::Append, "a\r"}, {TWrite::Append, "\r\nb"}, {TWrite::Append, "c\nd\u2029e"}}},
        {"the restore's lines at the end",
            {{TWrite::InsertAtEnd, "gbak: x\r\n"}, {TWrite::InsertAtEnd, "\r\n"}, {TWrite::InsertAtEnd, "y\r\n"}}},
        {"both after the operator's text",
            {{TWrite::Replace, "typed\n"}, {TWrite::Append, "ç ã é"}, {TWrite::InsertAtEnd, "z\r\n"},
                {TWrite::Append, ""}}},
        {"an empty text replaced and appended to", {{TWrite::Replace, ""}, {TWrite::Append, "\t tab"}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        QPlainTextEdit edit;
        TLogView view;
        for (const auto& [write, text] : c.writes) {
            switch (write) {
            case TWrite::Append:
                edit.appendPlainText(text);
                view.appendPlainText(text);
                break;
            case TWrite::InsertAtEnd:
                edit.moveCursor(QTextCursor::End);
                edit.insertPlainText(text);
                view.moveCursorToEnd();
                view.insertPlainText(text);
                break;
            case TWrite::Replace:
                edit.setPlainText(text);
                view.setPlainText(text);
                break;
            }
        }
        EXPECT_EQ(view.toPlainText(), edit.toPlainText());
        EXPECT_EQ(view.isEmpty(), edit.document()->isEmpty());
    }
}

TEST_F(LogViewTest, TheOperatorEditsWithTheKeyboard)
{
    TLogView& view = ShownLog();
    view.setPlainText(QStringLiteral("first line\nsecond"));
    QSignalSpy changes(&view, &TLogView::textChanged);

    QTest::keyClick(&view, Qt::Key_Backspace); // at the start: nothing to take
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_Delete); // at the end: likewise
    QTest::keyClicks(&view, QStringLiteral("!"));
    EXPECT_EQ(view.toPlainText(), QStringLiteral("first line\nsecond!"));
    QTest::keyClick(&view, Qt::Key_Home);
    QTest::keyClick(&view, Qt::Key_Backspace); // joins the lines
    EXPECT_EQ(view.toPlainText(), QStringLiteral("first linesecond!"));
    EXPECT_EQ(view.cursorPosition(), (TLogPosition{0, 10}));
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(view.toPlainText(), QStringLiteral("first line\nsecond!"));
    QTest::keyClick(&view, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClicks(&view, QStringLiteral("x")); // typing replaces the selection
    EXPECT_EQ(view.toPlainText(), QStringLiteral("first line\nx"));
    QTest::keyClick(&view, Qt::Key_Home);
    QTest::keyClick(&view, Qt::Key_Up);
    QTest::keyClick(&view, Qt::Key_Delete);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(view.selectedText(), QStringLiteral("irst "));

    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("irst line\nx"));
    QTest::keyClick(&view, Qt::Key_Delete);
    EXPECT_TRUE(view.isEmpty());
    QTest::keyClick(&view, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(view.toPlainText(), QStringLiteral("irst line\nxirst line\nx"));
    EXPECT_EQ(changes.count(), 8); // once for each edit

    // Tab moves on to the next field and leaves the text alone.
    QTest::keyClick(&view, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next);
    EXPECT_EQ(view.toPlainText(), QStringLiteral("irst line\nxirst line\nx"));
}

TEST_F(LogViewTest, TypingGoesIntoTheBoxAndAltWithALetterToTheWindowsButtons)
{
    TLogView& view = ShownLog();
    auto* button = new QPushButton(QStringLiteral("&Go"), window.get());
    button->show();
    QSignalSpy clicks(button, &QPushButton::clicked);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get())); // shortcuts are the active window's
    auto* plainShortcut = new QShortcut(QKeySequence(QStringLiteral("G")), window.get());
    QSignalSpy plainShortcuts(plainShortcut, &QShortcut::activated);
    view.setFocus();

    QTest::keyClicks(&view, QStringLiteral("g"));
    EXPECT_EQ(view.toPlainText(), QStringLiteral("g"));
    EXPECT_EQ(plainShortcuts.count(), 0);
    QTest::keyClick(&view, Qt::Key_G, Qt::AltModifier);
    EXPECT_TRUE(clicks.count() == 1 || clicks.wait(2000)); // a mnemonic clicks after a short press
    EXPECT_EQ(view.toPlainText(), QStringLiteral("g"));
}

TEST_F(LogViewTest, AReadOnlyBoxIsOnlyReadAndCopied)
{
    TLogView& view = ShownLog();
    view.setPlainText(QStringLiteral("kept"));
    view.setReadOnly(true);
    QTest::keyClicks(&view, QStringLiteral("x"));
    QTest::keyClick(&view, Qt::Key_Delete);
    QTest::keyClick(&view, Qt::Key_Return);
    QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(view.toPlainText(), QStringLiteral("kept"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
}

TEST_F(LogViewTest, LongLinesWrapAtTheBoxWidth)
{
    TLogView& view = ShownLog(120, 200);
    const QString line = Numbered(30, QStringLiteral("word")).join(QLatin1Char(' '));
    view.setPlainText(line + QStringLiteral("\nshort"));

    // Down and End move within the rows of the one long line.
    QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_EQ(view.cursorPosition().Line, 0);
    EXPECT_GT(view.cursorPosition().Column, 0);
    QTest::keyClick(&view, Qt::Key_End);
    EXPECT_EQ(view.cursorPosition().Line, 0);
    EXPECT_LT(view.cursorPosition().Column, line.size());
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(view.cursorPosition(), (TLogPosition{1, 5}));
    // Scrolled down to the last line, its first row is not at the top of a box this tall.
    EXPECT_TRUE(view.showsEnd());
}

TEST_F(LogViewTest, AppendsFollowTheEndOnlyWhileTheEndIsShown)
{
    TLogView& view = ShownLog();
    view.appendLines(Numbered(1000));
    EXPECT_TRUE(view.showsEnd());
    EXPECT_GT(view.firstVisibleRow().Line, 990);
    EXPECT_EQ(view.cursorPosition(), (TLogPosition{0, 0})); // the caret stays where it was

    // The operator scrolls back to read: new lines do not take the view away.
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(view.firstVisibleRow(), (TLogPosition{0, 0}));
    view.appendLines(Numbered(1000));
    EXPECT_EQ(view.firstVisibleRow(), (TLogPosition{0, 0}));
    EXPECT_FALSE(view.showsEnd());

    // Back at the end, the view follows the output again, also as the restore writes it.
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);
    EXPECT_TRUE(view.showsEnd());
    view.appendPlainText(QStringLiteral("gbak: last"));
    EXPECT_TRUE(view.showsEnd());
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    view.moveCursorToEnd();
    view.insertPlainText(QStringLiteral("gbak: restored\r\n"));
    EXPECT_TRUE(view.showsEnd());

    // Ctrl with Down scrolls the box by a row and takes the caret along only
    // when it would leave the box.
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(view.firstVisibleRow(), (TLogPosition{1, 0}));
    EXPECT_EQ(view.cursorPosition(), (TLogPosition{1, 0}));
    QTest::keyClick(&view, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(view.firstVisibleRow(), (TLogPosition{0, 0}));
    EXPECT_EQ(view.cursorPosition(), (TLogPosition{1, 0}));
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier);

    // Paging up keeps the caret in the box.
    QTest::keyClick(&view, Qt::Key_PageUp);
    QTest::keyClick(&view, Qt::Key_PageUp);
    EXPECT_FALSE(view.showsEnd());
    EXPECT_GE(view.cursorPosition().Line, view.firstVisibleRow().Line);
    EXPECT_LT(view.cursorPosition().Line, view.firstVisibleRow().Line + 10);
    EXPECT_EQ(view.text().LineCount(), 2002);
}

TEST_F(LogViewTest, TheMousePlacesTheCaretAndSelects)
{
    TLogView& view = ShownLog();
    view.setPlainText(QStringLiteral("alpha beta\ngamma\ndelta"));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, RowPoint(1));
    EXPECT_EQ(view.cursorPosition(), (TLogPosition{1, 0}));

    const int betaX = QFontMetrics(view.font()).horizontalAdvance(QStringLiteral("alpha b"));
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, RowPoint(0, betaX));
    EXPECT_EQ(view.selectedText(), QStringLiteral("beta"));

    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, RowPoint(0));
    QMouseEvent move(QEvent::MouseMove, RowPoint(2, 500), view.viewport()->mapToGlobal(RowPoint(2, 500)), Qt::NoButton,
        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, RowPoint(2, 500));
    EXPECT_EQ(view.selectedText(), view.toPlainText());

    // The wheel scrolls the box without moving the caret.
    view.appendLines(Numbered(100));
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QWheelEvent wheel(RowPoint(1), view.viewport()->mapToGlobal(RowPoint(1)), {}, {0, -120}, Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
    EXPECT_EQ(view.firstVisibleRow().Line, QApplication::wheelScrollLines());
    EXPECT_EQ(view.cursorPosition(), (TLogPosition{0, 0}));
}

TEST_F(LogViewTest, DroppedTextGoesInWhereItIsLetGo)
{
    TLogView& view = ShownLog();
    view.setPlainText(QStringLiteral("first\nsecond"));
    QMimeData data;
    data.setText(QStringLiteral("dropped "));
    QDragEnterEvent enter(RowPoint(1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(RowPoint(1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &drop);
    EXPECT_EQ(view.toPlainText(), QStringLiteral("first\ndropped second"));

    view.setReadOnly(true);
    QDragEnterEvent refused(RowPoint(1), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(LogViewTest, AssistiveTechnologyReadsAnEditableMultiLineText)
{
    TLogView& view = ShownLog();
    view.appendLines({QStringLiteral("gbak: a"), QStringLiteral("gbak: b")});
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::EditableText);
    EXPECT_EQ(accessible->text(QAccessible::Value), QStringLiteral("gbak: a\ngbak: b"));
    EXPECT_TRUE(accessible->state().multiLine);
    EXPECT_TRUE(accessible->state().editable);
}

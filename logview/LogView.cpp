#include "logview/LogView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>
#include <QWheelEvent>

#include <algorithm>
#include <initializer_list>
#include <mutex>

namespace {

// Blank space between the box's edge and its text, as a text document leaves it.
constexpr int Margin = 4;
// Where tab characters stop, as in an edit box of the toolkit.
constexpr qreal TabStop = 80;
// Layouts kept for lines laid out lately; more are dropped all together.
constexpr size_t LayoutsKept = 512;

bool IsWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c.isMark();
}

enum class TMove {
    NextCharacter,
    PreviousCharacter,
    NextWord,
    PreviousWord,
    NextRow,
    PreviousRow,
    RowStart,
    RowEnd,
    TextStart,
    TextEnd,
    NextPage,
    PreviousPage
};

struct TMoveKey {
    QKeySequence::StandardKey key;
    TMove move;
    bool select;
};

const std::initializer_list<TMoveKey> MoveKeys{
    {QKeySequence::MoveToNextChar, TMove::NextCharacter, false},
    {QKeySequence::MoveToPreviousChar, TMove::PreviousCharacter, false},
    {QKeySequence::MoveToNextWord, TMove::NextWord, false},
    {QKeySequence::MoveToPreviousWord, TMove::PreviousWord, false},
    {QKeySequence::MoveToNextLine, TMove::NextRow, false},
    {QKeySequence::MoveToPreviousLine, TMove::PreviousRow, false},
    {QKeySequence::MoveToStartOfLine, TMove::RowStart, false},
    {QKeySequence::MoveToEndOfLine, TMove::RowEnd, false},
    {QKeySequence::MoveToStartOfBlock, TMove::RowStart, false},
    {QKeySequence::MoveToEndOfBlock, TMove::RowEnd, false},
    {QKeySequence::MoveToStartOfDocument, TMove::TextStart, false},
    {QKeySequence::MoveToEndOfDocument, TMove::TextEnd, false},
    {QKeySequence::MoveToNextPage, TMove::NextPage, false},
    {QKeySequence::MoveToPreviousPage, TMove::PreviousPage, false},
    {QKeySequence::SelectNextChar, TMove::NextCharacter, true},
    {QKeySequence::SelectPreviousChar, TMove::PreviousCharacter, true},
    {QKeySequence::SelectNextWord, TMove::NextWord, true},
    {QKeySequence::SelectPreviousWord, TMove::PreviousWord, true},
    {QKeySequence::SelectNextLine, TMove::NextRow, true},
    {QKeySequence::SelectPreviousLine, TMove::PreviousRow, true},
    {QKeySequence::SelectStartOfLine, TMove::RowStart, true},
    {QKeySequence::SelectEndOfLine, TMove::RowEnd, true},
    {QKeySequence::SelectStartOfBlock, TMove::RowStart, true},
    {QKeySequence::SelectEndOfBlock, TMove::RowEnd, true},
    {QKeySequence::SelectStartOfDocument, TMove::TextStart, true},
    {QKeySequence::SelectEndOfDocument, TMove::TextEnd, true},
    {QKeySequence::SelectNextPage, TMove::NextPage, true},
    {QKeySequence::SelectPreviousPage, TMove::PreviousPage, true},
};

const TMoveKey* MoveKeyOf(QKeyEvent* event)
{
    for (const TMoveKey& key : MoveKeys) {
        if (event->matches(key.key))
            return &key;
    }
    return nullptr;
}

// Ctrl with Up or Down: the box scrolls by a row.
bool IsRowScrollKey(QKeyEvent* event)
{
    return (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier
        && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down);
}

// Keys that edit the text, the clipboard keys included.
bool IsEditKey(QKeyEvent* event)
{
    for (QKeySequence::StandardKey key :
        {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste, QKeySequence::SelectAll, QKeySequence::Delete,
            QKeySequence::DeleteEndOfWord, QKeySequence::DeleteStartOfWord, QKeySequence::InsertParagraphSeparator,
            QKeySequence::InsertLineSeparator}) {
        if (event->matches(key))
            return true;
    }
    return event->key() == Qt::Key_Backspace;
}

// Text typed in: printable characters, also those that need AltGr (Ctrl with
// Alt on some systems), not Ctrl with a letter.
bool IsTyping(QKeyEvent* event)
{
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const QChar c = text.front();
    if (c.category() == QChar::Other_Format)
        return true;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier || modifiers == (Qt::ShiftModifier | Qt::ControlModifier))
        return false;
    return c.isPrint() || c.category() == QChar::Other_PrivateUse
        || (c.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate());
}

// Typing that the box takes before any shortcut of the window: without
// modifiers other than Shift, so that Alt with a letter still reaches the
// buttons' mnemonics.
bool IsPlainTyping(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    return modifiers == Qt::NoModifier && IsTyping(event);
}

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

void InstallAccessibility()
{
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(MakeLogViewAccessible); });
}

} // namespace

TLogView::TLogView(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setAcceptDrops(true);
    InstallAccessibility();
}

TLogView::~TLogView() = default;

void TLogView::setReadOnly(bool readOnly)
{
    FReadOnly = readOnly;
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
}

int TLogView::RowHeight() const
{
    if (FRowHeight == 0)
        FRowHeight = std::max(1, QFontMetrics(font()).height());
    return FRowHeight;
}

int TLogView::TextWidth() const
{
    return std::max(1, viewport()->width() - 2 * Margin);
}

int TLogView::VisibleRows() const
{
    return std::max(1, (viewport()->height() - 2 * Margin) / RowHeight());
}

std::shared_ptr<const QTextLayout> TLogView::Layout(int line) const
{
    const auto kept = FLayouts.find(line);
    if (kept != FLayouts.end())
        return kept->second;
    if (FLayouts.size() >= LayoutsKept)
        FLayouts.clear();
    auto layout = std::make_shared<QTextLayout>(FText.Line(line), font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(TabStop);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    const int height = RowHeight();
    const int width = TextWidth();
    layout->beginLayout();
    for (int y = 0;; y += height) {
        QTextLine row = layout->createLine();
        if (!row.isValid())
            break;
        row.setLineWidth(width);
        row.setPosition(QPointF(0, y));
    }
    layout->endLayout();
    FLayouts.emplace(line, layout);
    return layout;
}

int TLogView::RowsOf(int line) const
{
    return std::max(1, Layout(line)->lineCount());
}

void TLogView::ForgetLayouts() const
{
    FLayouts.clear();
    FRowHeight = 0;
}

void TLogView::ForgetLayoutsFrom(int line) const
{
    for (auto kept = FLayouts.begin(); kept != FLayouts.end();) {
        if (kept->first >= line)
            kept = FLayouts.erase(kept);
        else
            ++kept;
    }
}

void TLogView::ClampTop()
{
    FTopLine = std::clamp(FTopLine, 0, FText.LineCount() - 1);
    FTopRow = std::clamp(FTopRow, 0, RowsOf(FTopLine) - 1);
}

bool TLogView::showsEnd() const
{
    const int last = FText.LineCount() - 1;
    int rowsLeft = VisibleRows() + FTopRow;
    for (int line = FTopLine;; ++line) {
        rowsLeft -= RowsOf(line);
        if (line >= last)
            return rowsLeft >= 0;
        if (rowsLeft <= 0)
            return false;
    }
}

void TLogView::ShowAtBottom(int line, int row)
{
    const int visible = VisibleRows();
    int rows = row + 1; // from the first row of `line` through `row`
    while (rows < visible && line > 0)
        rows += RowsOf(--line);
    FTopLine = line;
    FTopRow = std::max(0, rows - visible);
    viewport()->update();
}

void TLogView::ShowEnd()
{
    const int last = FText.LineCount() - 1;
    ShowAtBottom(last, RowsOf(last) - 1);
}

void TLogView::ScrollRows(int rows)
{
    const int last = FText.LineCount() - 1;
    for (; rows > 0 && !showsEnd(); --rows) {
        if (FTopRow + 1 < RowsOf(FTopLine)) {
            ++FTopRow;
        } else if (FTopLine < last) {
            ++FTopLine;
            FTopRow = 0;
        }
    }
    for (; rows < 0; ++rows) {
        if (FTopRow > 0) {
            --FTopRow;
        } else if (FTopLine > 0) {
            --FTopLine;
            FTopRow = RowsOf(FTopLine) - 1;
        } else {
            break;
        }
    }
    viewport()->update();
}

int TLogView::CaretRow() const
{
    const auto layout = Layout(FCaret.Line);
    const QTextLine row = layout->lineForTextPosition(FCaret.Column);
    return row.isValid() ? row.lineNumber() : layout->lineCount() - 1;
}

void TLogView::EnsureCaretVisible()
{
    const int caretRow = CaretRow();
    if (FCaret.Line < FTopLine || (FCaret.Line == FTopLine && caretRow < FTopRow)) {
        FTopLine = FCaret.Line;
        FTopRow = caretRow;
        viewport()->update();
        return;
    }
    const int visible = VisibleRows();
    int rows = -FTopRow;
    int line = FTopLine;
    while (line < FCaret.Line && rows < visible)
        rows += RowsOf(line++);
    if (line == FCaret.Line && rows + caretRow < visible)
        return;
    // Below the box: the caret's row becomes its last row.
    ShowAtBottom(FCaret.Line, caretRow);
}

std::optional<int> TLogView::RowTop(int line) const
{
    const int height = RowHeight();
    int y = Margin - FTopRow * height;
    int at = FTopLine;
    if (line < at)
        return std::nullopt;
    while (at < line && y < viewport()->height())
        y += RowsOf(at++) * height;
    if (at != line || y >= viewport()->height())
        return std::nullopt;
    return y;
}

QRect TLogView::CaretRect() const
{
    const std::optional<int> top = RowTop(FCaret.Line);
    if (!top)
        return {};
    const auto layout = Layout(FCaret.Line);
    const int row = CaretRow();
    const QTextLine line = layout->lineAt(row);
    const int x = Margin + qRound(line.cursorToX(FCaret.Column));
    return {x, *top + row * RowHeight(), 1, RowHeight()};
}

TLogPosition TLogView::PositionOnRow(int line, int row, qreal x) const
{
    while (row < 0) {
        if (line == 0)
            return {0, 0};
        row += RowsOf(--line);
    }
    const int last = FText.LineCount() - 1;
    while (row >= RowsOf(line)) {
        if (line == last)
            return FText.End();
        row -= RowsOf(line++);
    }
    return {line, Layout(line)->lineAt(row).xToCursor(x)};
}

TLogPosition TLogView::PositionAt(const QPoint& point) const
{
    const int height = RowHeight();
    const int y = point.y() - Margin + FTopRow * height;
    const int row = y < 0 ? -((-y + height - 1) / height) : y / height;
    return PositionOnRow(FTopLine, row, point.x() - Margin);
}

void TLogView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    const int height = RowHeight();
    const TLogPosition from = std::min(FAnchor, FCaret);
    const TLogPosition to = std::max(FAnchor, FCaret);
    const bool caretShown = FCaretShown && hasFocus();
    int y = Margin - FTopRow * height;
    for (int line = FTopLine; line < FText.LineCount() && y < viewport()->height(); ++line) {
        const auto layout = Layout(line);
        const QPointF origin(Margin, y);
        QList<QTextLayout::FormatRange> selections;
        if (hasSelection() && from.Line <= line && line <= to.Line) {
            QTextLayout::FormatRange range;
            range.start = line == from.Line ? from.Column : 0;
            range.length = (line == to.Line ? to.Column : static_cast<int>(FText.Line(line).size())) - range.start;
            range.format.setBackground(palette().brush(QPalette::Highlight));
            range.format.setForeground(palette().brush(QPalette::HighlightedText));
            if (range.length > 0)
                selections.append(range);
            if (line < to.Line) {
                // The selected line break, as a narrow mark after the line.
                const QTextLine lastRow = layout->lineAt(layout->lineCount() - 1);
                const qreal x = Margin + lastRow.naturalTextWidth();
                painter.fillRect(QRectF(x, y + lastRow.y(), QFontMetrics(font()).averageCharWidth(), height),
                    palette().brush(QPalette::Highlight));
            }
        }
        layout->draw(&painter, origin, selections);
        if (caretShown && line == FCaret.Line)
            layout->drawCursor(&painter, origin, FCaret.Column, 1);
        y += layout->lineCount() * height;
    }
}

void TLogView::resizeEvent(QResizeEvent* event)
{
    const bool showedEnd = showsEnd();
    QAbstractScrollArea::resizeEvent(event);
    ForgetLayouts();
    ClampTop();
    if (showedEnd)
        ShowEnd();
}

void TLogView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        ForgetLayouts();
        ClampTop();
        viewport()->update();
    }
}

void TLogView::setCursorPosition(TLogPosition position, bool keepAnchor)
{
    FCaret = FText.Clamp(position);
    if (!keepAnchor)
        FAnchor = FCaret;
    EnsureCaretVisible();
    RestartBlinking();
    viewport()->update();
}

void TLogView::selectAll()
{
    FAnchor = {0, 0};
    FCaret = FText.End();
    viewport()->update();
}

void TLogView::appendPlainText(const QString& text)
{
    appendLines({text});
}

void TLogView::appendLines(const QStringList& lines)
{
    if (lines.isEmpty())
        return;
    const bool showedEnd = showsEnd();
    ForgetLayoutsFrom(FText.LineCount() - 1);
    FText.AppendLines(lines);
    if (showedEnd)
        ShowEnd();
    else
        viewport()->update();
    Q_EMIT textChanged();
}

void TLogView::insertPlainText(const QString& text)
{
    ReplaceSelection(text);
}

void TLogView::setPlainText(const QString& text)
{
    FText.SetText(text);
    FCaret = FAnchor = {0, 0};
    FTopLine = FTopRow = 0;
    ForgetLayouts();
    viewport()->update();
    Q_EMIT textChanged();
}

void TLogView::ReplaceSelection(const QString& text)
{
    const TLogPosition from = std::min(FAnchor, FCaret);
    ForgetLayoutsFrom(from.Line);
    FText.Remove(FAnchor, FCaret);
    FCaret = FAnchor = FText.Insert(from, text);
    TextEdited();
}

void TLogView::DeleteTo(TLogPosition other)
{
    if (other == FCaret)
        return;
    FAnchor = other;
    ReplaceSelection(QString());
}

void TLogView::TextEdited()
{
    FDesiredX = -1;
    ClampTop();
    EnsureCaretVisible();
    RestartBlinking();
    viewport()->update();
    Q_EMIT textChanged();
}

void TLogView::copy()
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void TLogView::cut()
{
    if (FReadOnly || !hasSelection())
        return;
    copy();
    ReplaceSelection(QString());
}

void TLogView::paste()
{
    if (FReadOnly)
        return;
    const QString text = QGuiApplication::clipboard()->text();
    if (!text.isEmpty())
        ReplaceSelection(text);
}

TLogPosition TLogView::NextPosition(TLogPosition from, bool word) const
{
    if (from.Column >= FText.Line(from.Line).size())
        return from.Line + 1 < FText.LineCount() ? TLogPosition{from.Line + 1, 0} : from;
    const auto layout = Layout(from.Line);
    return {from.Line,
        layout->nextCursorPosition(from.Column, word ? QTextLayout::SkipWords : QTextLayout::SkipCharacters)};
}

TLogPosition TLogView::PreviousPosition(TLogPosition from, bool word) const
{
    if (from.Column == 0)
        return from.Line > 0 ? TLogPosition{from.Line - 1, static_cast<int>(FText.Line(from.Line - 1).size())} : from;
    const auto layout = Layout(from.Line);
    return {from.Line,
        layout->previousCursorPosition(from.Column, word ? QTextLayout::SkipWords : QTextLayout::SkipCharacters)};
}

TLogPosition TLogView::VerticalMove(TLogPosition from, int rows)
{
    const QTextLine current = Layout(from.Line)->lineForTextPosition(from.Column);
    if (FDesiredX < 0)
        FDesiredX = current.isValid() ? current.cursorToX(from.Column) : 0;
    return PositionOnRow(from.Line, (current.isValid() ? current.lineNumber() : 0) + rows, FDesiredX);
}

TLogPosition TLogView::RowStart(TLogPosition from) const
{
    const QTextLine row = Layout(from.Line)->lineForTextPosition(from.Column);
    return {from.Line, row.isValid() ? row.textStart() : 0};
}

TLogPosition TLogView::RowEnd(TLogPosition from) const
{
    const auto layout = Layout(from.Line);
    const QTextLine row = layout->lineForTextPosition(from.Column);
    const QString& text = FText.Line(from.Line);
    if (!row.isValid())
        return {from.Line, static_cast<int>(text.size())};
    int end = row.textStart() + row.textLength();
    // A wrapped row ends before the blank it was broken at.
    if (row.lineNumber() + 1 < layout->lineCount() && end > row.textStart() && text.at(end - 1).isSpace())
        --end;
    return {from.Line, end};
}

bool TLogView::HandleMoveKey(QKeyEvent* event)
{
    if (IsRowScrollKey(event)) {
        // The box moves by a row; the caret follows only when it would leave it.
        const TLogPosition top = firstVisibleRow();
        ScrollRows(event->key() == Qt::Key_Up ? -1 : 1);
        if (firstVisibleRow() != top && !viewport()->rect().contains(CaretRect()))
            setCursorPosition(VerticalMove(FCaret, event->key() == Qt::Key_Up ? -1 : 1));
        return true;
    }
    const TMoveKey* key = MoveKeyOf(event);
    if (!key)
        return false;
    const bool vertical = key->move == TMove::NextRow || key->move == TMove::PreviousRow || key->move == TMove::NextPage
        || key->move == TMove::PreviousPage;
    if (!vertical)
        FDesiredX = -1;
    TLogPosition to = FCaret;
    switch (key->move) {
    case TMove::NextCharacter:
        to = hasSelection() && !key->select ? std::max(FAnchor, FCaret) : NextPosition(FCaret, false);
        break;
    case TMove::PreviousCharacter:
        to = hasSelection() && !key->select ? std::min(FAnchor, FCaret) : PreviousPosition(FCaret, false);
        break;
    case TMove::NextWord:
        to = NextPosition(FCaret, true);
        break;
    case TMove::PreviousWord:
        to = PreviousPosition(FCaret, true);
        break;
    case TMove::NextRow:
        to = VerticalMove(FCaret, 1);
        break;
    case TMove::PreviousRow:
        to = VerticalMove(FCaret, -1);
        break;
    case TMove::RowStart:
        to = RowStart(FCaret);
        break;
    case TMove::RowEnd:
        to = RowEnd(FCaret);
        break;
    case TMove::TextStart:
        to = {0, 0};
        break;
    case TMove::TextEnd:
        to = FText.End();
        break;
    case TMove::NextPage:
        ScrollRows(VisibleRows());
        to = VerticalMove(FCaret, VisibleRows());
        break;
    case TMove::PreviousPage:
        ScrollRows(-VisibleRows());
        to = VerticalMove(FCaret, -VisibleRows());
        break;
    }
    setCursorPosition(to, key->select);
    return true;
}

bool TLogView::HandleEditKey(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return true;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return true;
    }
    if (FReadOnly)
        return false;
    if (event->matches(QKeySequence::Cut)) {
        cut();
    } else if (event->matches(QKeySequence::Paste)) {
        paste();
    } else if (event->matches(QKeySequence::InsertParagraphSeparator)
        || event->matches(QKeySequence::InsertLineSeparator)) {
        ReplaceSelection(QStringLiteral("\n"));
    } else if (hasSelection()
        && (event->matches(QKeySequence::Delete) || event->key() == Qt::Key_Backspace
            || event->matches(QKeySequence::DeleteEndOfWord) || event->matches(QKeySequence::DeleteStartOfWord))) {
        ReplaceSelection(QString());
    } else if (event->matches(QKeySequence::Delete)) {
        DeleteTo(NextPosition(FCaret, false));
    } else if (event->matches(QKeySequence::DeleteEndOfWord)) {
        DeleteTo(NextPosition(FCaret, true));
    } else if (event->matches(QKeySequence::DeleteStartOfWord)) {
        DeleteTo(PreviousPosition(FCaret, true));
    } else if (event->key() == Qt::Key_Backspace) {
        // One character back: a surrogate pair as a whole, a line break joins the lines.
        TLogPosition back = PreviousPosition(FCaret, false);
        if (FCaret.Column > 0) {
            const QString& line = FText.Line(FCaret.Line);
            const int column = FCaret.Column;
            const bool pair
                = column >= 2 && line.at(column - 1).isLowSurrogate() && line.at(column - 2).isHighSurrogate();
            back = {FCaret.Line, column - (pair ? 2 : 1)};
        }
        DeleteTo(back);
    } else if (IsTyping(event)) {
        ReplaceSelection(event->text());
    } else {
        return false;
    }
    return true;
}

bool TLogView::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsRowScrollKey(key) || MoveKeyOf(key) || IsEditKey(key) || IsPlainTyping(key)) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void TLogView::keyPressEvent(QKeyEvent* event)
{
    if (HandleMoveKey(event) || HandleEditKey(event)) {
        event->accept();
        return;
    }
    event->ignore();
}

void TLogView::mousePressEvent(QMouseEvent* event)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (event->button() == Qt::MiddleButton && clipboard->supportsSelection() && !FReadOnly) {
        // The text selected last, anywhere on the desktop, put in where the pointer is.
        const QString text = clipboard->text(QClipboard::Selection);
        if (!text.isEmpty()) {
            setCursorPosition(PositionAt(event->position().toPoint()));
            ReplaceSelection(text);
        }
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    FDesiredX = -1;
    FSelectingWithMouse = true;
    setCursorPosition(PositionAt(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
}

void TLogView::mouseMoveEvent(QMouseEvent* event)
{
    if (!FSelectingWithMouse || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint point = event->position().toPoint();
    if (point.y() < 0)
        ScrollRows(-1);
    else if (point.y() >= viewport()->height())
        ScrollRows(1);
    setCursorPosition(PositionAt(point), true);
}

void TLogView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    FSelectingWithMouse = false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void TLogView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // The word under the pointer, or the one character there that is no word's.
    const TLogPosition at = PositionAt(event->position().toPoint());
    const QString& line = FText.Line(at.Line);
    int start = at.Column;
    int end = at.Column;
    while (start > 0 && IsWordCharacter(line.at(start - 1)))
        --start;
    while (end < line.size() && IsWordCharacter(line.at(end)))
        ++end;
    if (start == end && end < line.size())
        ++end;
    FDesiredX = -1;
    FAnchor = {at.Line, start};
    FCaret = {at.Line, end};
    EnsureCaretVisible();
    RestartBlinking();
    viewport()->update();
}

void TLogView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!FReadOnly && event->mimeData()->hasText())
        event->acceptProposedAction();
}

void TLogView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!FReadOnly && event->mimeData()->hasText())
        event->acceptProposedAction();
}

void TLogView::dropEvent(QDropEvent* event)
{
    if (FReadOnly || !event->mimeData()->hasText())
        return;
    // Dropped text goes in where it is let go, the selection left as it stands.
    setCursorPosition(PositionAt(event->position().toPoint()));
    ReplaceSelection(event->mimeData()->text());
    event->acceptProposedAction();
}

void TLogView::wheelEvent(QWheelEvent* event)
{
    FWheelDelta += event->angleDelta().y();
    const int steps = FWheelDelta / QWheelEvent::DefaultDeltasPerStep;
    FWheelDelta -= steps * QWheelEvent::DefaultDeltasPerStep;
    if (steps != 0)
        ScrollRows(-steps * QApplication::wheelScrollLines());
    event->accept();
}

void TLogView::contextMenuEvent(QContextMenuEvent* event)
{
    // The toolkit's own texts for an edit box's menu, in its language.
    const auto text = [](const char* source) { return QCoreApplication::translate("QWidgetTextControl", source); };
    QMenu menu(this);
    const bool editable = !FReadOnly;
    menu.addAction(text("Cu&t"), this, &TLogView::cut)->setEnabled(editable && hasSelection());
    menu.addAction(text("&Copy"), this, &TLogView::copy)->setEnabled(hasSelection());
    menu.addAction(text("&Paste"), this, &TLogView::paste)
        ->setEnabled(editable && !QGuiApplication::clipboard()->text().isEmpty());
    menu.addAction(text("Delete"), this, [this] { ReplaceSelection(QString()); })
        ->setEnabled(editable && hasSelection());
    menu.addSeparator();
    menu.addAction(text("Select All"), this, &TLogView::selectAll)->setEnabled(!isEmpty());
    menu.exec(event->globalPos());
}

void TLogView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    RestartBlinking();
}

void TLogView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    FBlink.stop();
    FCaretShown = false;
    viewport()->update();
}

void TLogView::RestartBlinking()
{
    FCaretShown = hasFocus();
    const int flash = QApplication::cursorFlashTime();
    if (FCaretShown && flash >= 2)
        FBlink.start(flash / 2, this);
    else
        FBlink.stop();
}

void TLogView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != FBlink.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    FCaretShown = !FCaretShown;
    const QRect caret = CaretRect();
    if (!caret.isEmpty())
        viewport()->update(caret.adjusted(-1, 0, 1, 0));
}

void TLogView::inputMethodEvent(QInputMethodEvent* event)
{
    if (FReadOnly) {
        event->ignore();
        return;
    }
    if (!event->commitString().isEmpty())
        ReplaceSelection(event->commitString());
    event->accept();
}

QVariant TLogView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return !FReadOnly;
    case Qt::ImCursorRectangle:
        return CaretRect();
    case Qt::ImFont:
        return font();
    case Qt::ImSurroundingText:
        return FText.Line(FCaret.Line);
    case Qt::ImCursorPosition:
        return FCaret.Column;
    case Qt::ImAnchorPosition:
        return FAnchor.Line == FCaret.Line ? FAnchor.Column : FCaret.Column;
    case Qt::ImCurrentSelection:
        return selectedText();
    case Qt::ImHints:
        return static_cast<int>(Qt::ImhMultiLine);
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

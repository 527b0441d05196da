// The log box's keys: the moves of the caret (and of the selection with
// Shift), the edits, and the typing, as an edit box of the toolkit takes them.
#include "logview/LogView.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QTextLayout>

#include <algorithm>
#include <initializer_list>

namespace {

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
} // namespace

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

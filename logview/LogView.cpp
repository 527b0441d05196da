// The log box's text edits, clipboard, mouse, focus, caret and input
// methods. Its keys are in LogViewKeys.cpp, its rows in LogViewRows.cpp, what
// assistive technology reads of it in LogViewAccessibility.cpp.
#include "logview/LogView.h"

#include "logview/LogViewAccessibility.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QTextLayout>
#include <QWheelEvent>

#include <algorithm>

namespace {

bool IsWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c.isMark();
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
    InstallLogViewAccessibility();
}

TLogView::~TLogView() = default;

void TLogView::setReadOnly(bool readOnly)
{
    FReadOnly = readOnly;
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
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

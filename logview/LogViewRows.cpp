// The log box's rows: each line laid out at the box's width when it is
// shown, the place of the box's top as a line and a row of it, scrolling,
// and the painting of the rows shown.
#include "logview/LogView.h"

#include <QFontMetrics>
#include <QPainter>
#include <QScrollBar>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>

namespace {

// Blank space between the box's edge and its text, as a text document leaves it.
constexpr int Margin = 4;
// Where tab characters stop, as in an edit box of the toolkit.
constexpr qreal TabStop = 80;
// Layouts kept for lines laid out lately; more are dropped all together.
constexpr size_t LayoutsKept = 512;

} // namespace

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

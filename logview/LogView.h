#pragma once
// The box that shows a run's log: the lines of a TLogText, wrapped at the
// box's width, with a caret and a selection, editable by the operator.
//
// A verbose run puts hundreds of thousands of lines into it. The box lays
// out only the lines it shows, keeps its place as a line and a row of that
// line rather than as a height measured over the whole text, and so costs the
// same for each line appended however long the log has grown.

#include "logview/LogText.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>

#include <memory>
#include <optional>
#include <unordered_map>

class QTextLayout;

class TLogView : public QAbstractScrollArea {
    Q_OBJECT
    Q_PROPERTY(bool readOnly READ isReadOnly WRITE setReadOnly)
    Q_PROPERTY(LineWrapMode lineWrapMode READ lineWrapMode)
    Q_PROPERTY(QString plainText READ toPlainText WRITE setPlainText NOTIFY textChanged USER true)

public:
    // Lines are always wrapped at the box's width.
    enum LineWrapMode { WidgetWidth = 1 };
    Q_ENUM(LineWrapMode)

    explicit TLogView(QWidget* parent = nullptr);
    ~TLogView() override;

    const TLogText& text() const { return FText; }
    QString toPlainText() const { return FText.ToPlainText(); }
    bool isEmpty() const { return FText.IsEmpty(); }
    LineWrapMode lineWrapMode() const { return WidgetWidth; }
    bool isReadOnly() const { return FReadOnly; }
    void setReadOnly(bool readOnly);

    TLogPosition cursorPosition() const { return FCaret; }
    TLogPosition anchorPosition() const { return FAnchor; }
    bool hasSelection() const { return FCaret != FAnchor; }
    QString selectedText() const { return FText.Text(FAnchor, FCaret); }
    // Places the caret; with `keepAnchor` the selection reaches from its anchor to there.
    void setCursorPosition(TLogPosition position, bool keepAnchor = false);
    void moveCursorToStart() { setCursorPosition({0, 0}); }
    void moveCursorToEnd() { setCursorPosition(FText.End()); }

    // The first line and the row of it shown at the top of the box.
    TLogPosition firstVisibleRow() const { return {FTopLine, FTopRow}; }
    // Whether the last row of the text is shown.
    bool showsEnd() const;

public Q_SLOTS:
    // The lines of `text` as new last lines, as QPlainTextEdit::appendPlainText
    // puts them in (into an empty log, the first becomes the first line); the
    // caret stays where it is, and a box that showed the end goes on showing it.
    void appendPlainText(const QString& text);
    void appendLines(const QStringList& lines);
    // `text` in place of the selection, at the caret, which ends up after it.
    void insertPlainText(const QString& text);
    void setPlainText(const QString& text);
    void clear() { setPlainText(QString()); }
    void selectAll();
    void copy();
    void cut();
    void paste();

Q_SIGNALS:
    void textChanged();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

private:
    // The laid-out rows of a line; kept for the lines shown lately.
    std::shared_ptr<const QTextLayout> Layout(int line) const;
    int RowsOf(int line) const;
    int RowHeight() const;
    int VisibleRows() const;
    int TextWidth() const;
    void ForgetLayouts() const;
    // For the lines from `line` on, whose text or place has changed.
    void ForgetLayoutsFrom(int line) const;
    // The top of the box on a row that exists.
    void ClampTop();

    // Moves the top of the box by `rows` rows, up when negative.
    void ScrollRows(int rows);
    // The top of the box placed so that a row of a line is its last row.
    void ShowAtBottom(int line, int row);
    // The same for the last row of the text.
    void ShowEnd();
    void EnsureCaretVisible();
    // Row of the line that holds the caret.
    int CaretRow() const;
    // Where the first row of a line is drawn, when it is in the box.
    std::optional<int> RowTop(int line) const;
    // The place at `x` on a row counted from the first row of `line` (before
    // it when negative), within the text.
    TLogPosition PositionOnRow(int line, int row, qreal x) const;
    TLogPosition PositionAt(const QPoint& point) const;
    QRect CaretRect() const;

    // The edits of the operator and of the program; each reports the change.
    void ReplaceSelection(const QString& text);
    void DeleteTo(TLogPosition other);
    void TextEdited();
    bool HandleEditKey(QKeyEvent* event);
    bool HandleMoveKey(QKeyEvent* event);
    TLogPosition NextPosition(TLogPosition from, bool word) const;
    TLogPosition PreviousPosition(TLogPosition from, bool word) const;
    TLogPosition VerticalMove(TLogPosition from, int rows);
    TLogPosition RowStart(TLogPosition from) const;
    TLogPosition RowEnd(TLogPosition from) const;
    void RestartBlinking();

    TLogText FText;
    TLogPosition FCaret;
    TLogPosition FAnchor;
    int FTopLine = 0;
    int FTopRow = 0;
    bool FReadOnly = false;
    bool FCaretShown = false;
    bool FSelectingWithMouse = false;
    // Where vertical moves aim at, across rows of different lengths.
    qreal FDesiredX = -1;
    // Wheel turns not yet worth a step.
    int FWheelDelta = 0;
    QBasicTimer FBlink;
    mutable int FRowHeight = 0; // of the font, once measured
    mutable std::unordered_map<int, std::shared_ptr<QTextLayout>> FLayouts;
};

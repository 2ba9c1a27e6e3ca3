// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextBox.h"

#include "TextBoxAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QPainter>
#include <QStyle>
#include <QStyleHints>
#include <QStyleOptionFrame>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// How many characters one layout covers: far more than the widest box shows, however narrow
// the letters.
constexpr int PieceCharacters = 2048;
// Qt's line edit keeps this much room between its frame and the text.
constexpr int HorizontalMargin = 2;

} // namespace

// A laid-out stretch of the text, with the input method's unfinished text at the cursor when
// the cursor lies in it. Positions given to it are positions in the whole text.
class TextPiece
{
public:
    int start = 0;
    int end = 0;
    QTextLayout layout;

    void setPreedit(int cursor, int length)
    {
        m_preeditAt = cursor - start;
        m_preeditLength = length;
    }
    bool holds(int position) const { return position >= start && position <= end; }
    int local(int position) const
    {
        int at = std::clamp(position, start, end) - start;
        if (m_preeditLength > 0 && at > m_preeditAt)
            at += m_preeditLength;
        return at;
    }
    int textPosition(int local) const
    {
        if (m_preeditLength > 0 && local > m_preeditAt)
            local = std::max(m_preeditAt, local - m_preeditLength);
        return start + local;
    }
    qreal x(int position, int preeditCursor = 0) const
    {
        return layout.lineAt(0).cursorToX(local(position) + preeditCursor);
    }
    qreal width() const { return layout.lineAt(0).naturalTextWidth(); }

private:
    int m_preeditAt = -1;
    int m_preeditLength = 0;
};

TextBox::TextBox(QWidget *parent) : QWidget(parent)
{
    static const bool accessible = (QAccessible::installFactory(accessibleTextBox), true);
    Q_UNUSED(accessible);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAttribute(Qt::WA_MacShowFocusRect);
    setBackgroundRole(QPalette::Base);
    setCursor(Qt::IBeamCursor);
    setAcceptDrops(true);
    setSizePolicy(QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed, QSizePolicy::LineEdit));
}

TextBox::~TextBox() = default;

void TextBox::setText(const QString &text)
{
    endComposition(false);
    edit(By::Program, [&](EditedLine &line) { line.setText(text); });
}

void TextBox::setCursorPosition(int position)
{
    edit(By::Program, [&](EditedLine &line) { line.moveCursor(position, false); });
}

void TextBox::setSelection(int start, int length)
{
    edit(By::Program, [&](EditedLine &line) {
        line.moveCursor(start, false);
        line.moveCursor(start + length, true);
    });
}

void TextBox::replace(int position, int length, const QString &text)
{
    edit(By::User, [&](EditedLine &line) { line.replace(position, length, text); });
}

void TextBox::selectAll()
{
    edit(By::Program, [](EditedLine &line) { line.selectAll(); });
}

void TextBox::undo()
{
    edit(By::User, [](EditedLine &line) { line.undo(); });
}

void TextBox::redo()
{
    edit(By::User, [](EditedLine &line) { line.redo(); });
}

void TextBox::cut()
{
    if (!m_line.hasSelection())
        return;
    copy();
    edit(By::User, [](EditedLine &line) { line.removeSelection(); });
}

void TextBox::copy() const
{
    if (m_line.hasSelection())
        QGuiApplication::clipboard()->setText(m_line.selectedText());
}

void TextBox::paste()
{
    pasteFrom(QClipboard::Clipboard);
}

void TextBox::pasteFrom(QClipboard::Mode mode)
{
    const QString pasted = QGuiApplication::clipboard()->text(mode);
    edit(By::User, [&](EditedLine &line) { line.insert(pasted); });
}

void TextBox::settle(const Snapshot &before, By by)
{
    const EditedLine::Change change = m_line.takeChange();
    const bool textChanged = m_line.revision() != before.revision;
    const bool cursorMoved = m_line.cursor() != before.cursor;
    const auto selection = [](int cursor, int anchor) -> std::pair<int, int> {
        if (cursor == anchor)
            return { 0, 0 };
        return { std::min(cursor, anchor), std::max(cursor, anchor) };
    };
    const bool selectionChanged
        = selection(before.cursor, before.anchor) != selection(m_line.cursor(), m_line.anchor());
    if (textChanged || cursorMoved || selectionChanged) {
        scrollToCursor();
        restartBlinking();
        update();
        if (hasFocus())
            QGuiApplication::inputMethod()->update(Qt::ImQueryInput);
    }
    // Told whether or not a screen reader listens now, as Qt's line edit does: the events cost
    // next to nothing without one, and a test's handler hears them too.
    tellAssistiveTools(textChanged ? &change : nullptr, cursorMoved, selectionChanged);
    // After the edit's own events, so that a screen reader says what was typed before the word
    // now offered.
    updateSuggestion(textChanged && by == By::User);
    if (textChanged) {
        if (by == By::User)
            emit textEdited(m_line.text());
        emit this->textChanged(m_line.text());
    }
    if (cursorMoved)
        emit cursorPositionChanged(before.cursor, m_line.cursor());
    if (selectionChanged) {
        emit this->selectionChanged();
        if (by == By::User)
            offerSelection();
    }
}

// The events Qt's line edit sends, which its AT-SPI bridge turns into text-changed insert and
// delete signals with their offset and text: a whole-value change reaches no screen reader
// from an object without a value. Offsets count UTF-16 units, as the Text interface does.
void TextBox::tellAssistiveTools(
    const EditedLine::Change *change, bool cursorMoved, bool selectionChanged)
{
    const int cursor = m_line.cursor();
    if (change && change->removed.isEmpty() && !change->inserted.isEmpty()) {
        QAccessibleTextInsertEvent event(this, change->position, change->inserted);
        event.setCursorPosition(cursor);
        QAccessible::updateAccessibility(&event);
    } else if (change && change->inserted.isEmpty() && !change->removed.isEmpty()) {
        QAccessibleTextRemoveEvent event(this, change->position, change->removed);
        event.setCursorPosition(cursor);
        QAccessible::updateAccessibility(&event);
    } else if (change && change->removed != change->inserted) {
        QAccessibleTextUpdateEvent event(this, change->position, change->removed, change->inserted);
        event.setCursorPosition(cursor);
        QAccessible::updateAccessibility(&event);
    }
    if (selectionChanged) {
        QAccessibleTextSelectionEvent event(this, m_line.selectionStart(), m_line.selectionEnd());
        event.setCursorPosition(cursor);
        QAccessible::updateAccessibility(&event);
    }
    // With a selection, its event carries the cursor.
    if (cursorMoved && !m_line.hasSelection()) {
        QAccessibleTextCursorEvent event(this, cursor);
        QAccessible::updateAccessibility(&event);
    }
}

void TextBox::endComposition(bool commit)
{
    if (m_preedit.isEmpty())
        return;
    if (commit)
        QGuiApplication::inputMethod()->commit();
    else
        QGuiApplication::inputMethod()->reset();
    // An input method that commits sends its text back at once; what is still unfinished has
    // no input method behind it any more.
    if (m_preedit.isEmpty())
        return;
    m_preedit.clear();
    m_preeditAttributes.clear();
    m_preeditCursor = 0;
    scrollToCursor();
    update();
}

// The X11 habit: what is selected can be pasted elsewhere with the middle button.
void TextBox::offerSelection() const
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (m_line.hasSelection() && clipboard->supportsSelection())
        clipboard->setText(m_line.selectedText(), QClipboard::Selection);
}

void TextBox::initStyleOption(QStyleOptionFrame *option) const
{
    option->initFrom(this);
    option->rect = contentsRect();
    option->lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, option, this);
    option->midLineWidth = 0;
    option->state |= QStyle::State_Sunken;
    option->features = QStyleOptionFrame::None;
}

// The text's row inside the frame, where Qt's line edit puts it: vertically centred, a little
// in from the sides.
QRect TextBox::lineRect() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    const int height = std::max(fontMetrics().height(), m_inkHeight);
    const int top = contents.y() + (contents.height() - height + 1) / 2;
    return QRect(
        contents.x() + HorizontalMargin, top, contents.width() - 2 * HorizontalMargin, height);
}

void TextBox::layOut(TextPiece &piece, int start, int end) const
{
    if (start < 0)
        start = m_line.previousLetter(std::max(0, end - PieceCharacters) + 1);
    else
        end = std::min(m_line.size(), start + PieceCharacters);
    // Cut where a letter ends, so that the last one shown is whole.
    if (end < m_line.size())
        end = m_line.previousLetter(end + 1);
    piece.start = start;
    piece.end = end;
    QString shown = m_line.text().mid(start, end - start);
    // Pasted line breaks and control characters show as spaces, as in Qt's line edit; the
    // text keeps them.
    for (QChar &c : shown) {
        if ((c.unicode() < 0x20 && c != u'\t') || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator || c == QChar::ObjectReplacementCharacter)
            c = u' ';
    }
    QList<QTextLayout::FormatRange> formats;
    const int cursor = m_line.cursor();
    if (!m_preedit.isEmpty() && piece.holds(cursor)) {
        shown.insert(cursor - start, m_preedit);
        piece.setPreedit(cursor, int(m_preedit.size()));
        bool formatted = false;
        for (const QInputMethodEvent::Attribute &attribute : m_preeditAttributes) {
            const QTextCharFormat format = attribute.value.value<QTextFormat>().toCharFormat();
            if (attribute.type != QInputMethodEvent::TextFormat || !format.isValid())
                continue;
            formats.append({ cursor - start + attribute.start, attribute.length, format });
            formatted = true;
        }
        if (!formatted) {
            QTextCharFormat underlined;
            underlined.setFontUnderline(true);
            formats.append({ cursor - start, int(m_preedit.size()), underlined });
        }
    }
    piece.layout.setText(shown);
    piece.layout.setFont(font());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(m_rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    piece.layout.setTextOption(option);
    piece.layout.setFormats(formats);
    piece.layout.setCacheEnabled(true);
    piece.layout.beginLayout();
    piece.layout.createLine();
    piece.layout.endLayout();
}

// Keeps the cursor inside the box as Qt's line edit does: moved past an edge, the text scrolls
// just enough to show it there; and no room is left empty at the right while text hides at the
// left. The text always starts on a letter at the left edge.
void TextBox::scrollToCursor()
{
    const qreal width = lineRect().width();
    const int cursor = m_line.cursor();
    m_alignment = 0;
    // Qt's line edit centres the drawn height of its text, which a fallback font's letters
    // (Arabic, say) make taller than the box's own font. Measured where such letters are.
    const QString &text = m_line.text();
    const QStringView near = QStringView(text).mid(
        m_line.size() <= PieceCharacters ? 0 : std::min(m_firstShown, m_line.size()),
        PieceCharacters);
    m_inkHeight = std::any_of(near.begin(), near.end(), [](QChar c) { return c.unicode() > 0xFF; })
        ? fontMetrics().boundingRect(near.toString() + m_preedit).height()
        : 0;
    // Qt's line edit lays a line out right to left, and aligns it right, when its first strong
    // letter is written that way; it scrolls such a line by pixels over its whole layout. The box
    // does the same up to a piece's length; a longer line scrolls as a left-to-right one, its
    // right-to-left words still in their order.
    m_rightToLeft = m_line.size() <= PieceCharacters && QStringView(m_line.text()).isRightToLeft();
    if (m_line.size() <= PieceCharacters) {
        TextPiece whole;
        layOut(whole, 0, m_line.size());
        const int used = qRound(whole.width()) + 1;
        if (whole.width() + 1 <= width) {
            m_firstShown = 0;
            if (m_rightToLeft)
                m_alignment = int(width) - used - 1;
            return;
        }
        if (m_rightToLeft) {
            m_firstShown = 0;
            const int cursorX = qRound(whole.x(cursor, m_preeditCursor));
            if (cursorX - m_pixelScroll >= width)
                m_pixelScroll = cursorX - int(width) + 1;
            else if (cursorX < m_pixelScroll)
                m_pixelScroll = cursorX;
            else if (used - m_pixelScroll < width)
                m_pixelScroll = used - int(width) + 1;
            m_alignment = -std::max(0, m_pixelScroll);
            return;
        }
    }
    m_rightToLeft = false;
    m_firstShown = std::min(m_firstShown, m_line.size());
    if (cursor < m_firstShown) {
        m_firstShown = cursor;
    } else {
        TextPiece shown;
        layOut(shown, m_firstShown, -1);
        if (!shown.holds(cursor)
            || shown.x(cursor, m_preeditCursor) - shown.x(m_firstShown) >= width)
            m_firstShown = firstShownFor(cursor, width);
    }
    if (m_line.size() - m_firstShown < PieceCharacters)
        m_firstShown = std::min(m_firstShown, firstShownFor(m_line.size(), width));
}

// The first letter to show so that position `end` (with the unfinished input there) lies just
// inside the right edge.
int TextBox::firstShownFor(int end, qreal width) const
{
    TextPiece piece;
    layOut(piece, -1, end);
    const qreal right = piece.x(end, end == m_line.cursor() ? m_preeditCursor : 0);
    const qreal left = right - width + 1;
    if (left <= 0)
        return piece.start;
    const QTextLine line = piece.layout.lineAt(0);
    int local = line.xToCursor(left, QTextLine::CursorBetweenCharacters);
    while (line.cursorToX(local) < left && local < piece.layout.text().size())
        local = piece.layout.nextCursorPosition(local);
    return std::min(piece.textPosition(local), end);
}

int TextBox::positionAt(QPointF point) const
{
    if (point.x() < lineRect().left() && !m_rightToLeft)
        return m_line.previousLetter(m_firstShown);
    TextPiece shown;
    layOut(shown, m_firstShown, -1);
    return shown.textPosition(localAt(shown, point.x()));
}

int TextBox::preeditOffsetAt(QPointF point) const
{
    TextPiece shown;
    layOut(shown, m_firstShown, -1);
    if (m_preedit.isEmpty() || !shown.holds(m_line.cursor()))
        return -1;
    const int offset = localAt(shown, point.x()) - shown.local(m_line.cursor());
    return offset >= 0 && offset <= m_preedit.size() ? offset : -1;
}

int TextBox::textLeft() const
{
    return lineRect().left() + m_alignment;
}

int TextBox::localAt(const TextPiece &shown, qreal x) const
{
    const QTextLine line = shown.layout.lineAt(0);
    return line.xToCursor(x - textLeft() + (m_rightToLeft ? 0 : line.cursorToX(0)));
}

QRect TextBox::characterRect(int position) const
{
    TextPiece shown;
    layOut(shown, m_firstShown, -1);
    if (position < shown.start || position >= shown.end)
        return QRect();
    const QRect row = lineRect();
    const qreal from = shown.x(position);
    const qreal to = shown.x(m_line.nextLetter(position));
    return QRect(textLeft() + qRound(std::min(from, to)), row.top(),
        std::max(1, qRound(std::abs(to - from))), row.height());
}

QRect TextBox::cursorRect() const
{
    const QRect row = lineRect();
    TextPiece shown;
    layOut(shown, m_firstShown, -1);
    const int x = textLeft() + qRound(shown.x(m_line.cursor(), m_preeditCursor));
    const int width = style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this);
    return QRect(x, row.top(), width + 1, row.height());
}

void TextBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionFrame frame;
    initStyleOption(&frame);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &painter, this);

    const QRect row = lineRect();
    painter.setClipRect(style()->subElementRect(QStyle::SE_LineEditContents, &frame, this));
    TextPiece shown;
    layOut(shown, m_firstShown, -1);
    // A fallback font taller than the box's own (Arabic, say) lifts the line as in Qt's line
    // edit, which puts the layout's ascent where the font's would be.
    const int lift = qRound(shown.layout.lineAt(0).ascent()) - fontMetrics().ascent();
    const QPointF origin(textLeft(), row.top() - lift);
    painter.setPen(palette().color(QPalette::Text));

    QList<QTextLayout::FormatRange> selections;
    const int selectionStart = std::max(m_line.selectionStart(), shown.start);
    const int selectionEnd = std::min(m_line.selectionEnd(), shown.end);
    if (m_line.hasSelection() && selectionStart < selectionEnd) {
        QTextLayout::FormatRange selection;
        selection.start = shown.local(selectionStart);
        selection.length = shown.local(selectionEnd) - selection.start;
        selection.format.setBackground(palette().brush(QPalette::Highlight));
        selection.format.setForeground(palette().brush(QPalette::HighlightedText));
        selections.append(selection);
    }
    shown.layout.draw(&painter, origin, selections, QRectF(rect()));
    if (shown.holds(m_line.cursor()))
        drawSuggestion(
            painter, origin + QPointF(shown.x(m_line.cursor()), shown.layout.lineAt(0).ascent()));
    if (m_cursorOn && hasFocus() && isEnabled() && shown.holds(m_line.cursor())) {
        const int width = style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this);
        shown.layout.drawCursor(
            &painter, origin, shown.local(m_line.cursor()) + m_preeditCursor, width);
    }
}

void TextBox::restartBlinking()
{
    m_cursorOn = true;
    const int period = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && period >= 2)
        m_blink.start(period / 2, this);
    else
        m_blink.stop();
}

void TextBox::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_blink.timerId())
        return QWidget::timerEvent(event);
    m_cursorOn = !m_cursorOn;
    update(cursorRect());
}

void TextBox::focusInEvent(QFocusEvent *event)
{
    const Qt::FocusReason reason = event->reason();
    if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason
            || reason == Qt::ShortcutFocusReason)
        && !m_line.hasSelection())
        selectAll();
    restartBlinking();
    update();
    QWidget::focusInEvent(event);
}

void TextBox::focusOutEvent(QFocusEvent *event)
{
    const Qt::FocusReason reason = event->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason
        && m_line.hasSelection())
        setCursorPosition(m_line.cursor());
    m_blink.stop();
    m_cursorOn = false;
    update();
    QWidget::focusOutEvent(event);
}

void TextBox::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
        scrollToCursor();
        updateGeometry();
        update();
        break;
    case QEvent::EnabledChange:
    case QEvent::PaletteChange:
    case QEvent::ActivationChange:
        update();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

void TextBox::resizeEvent(QResizeEvent *event)
{
    scrollToCursor();
    QWidget::resizeEvent(event);
}

QSize TextBox::sizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    const int height = metrics.height() + 2;
    const int width = metrics.horizontalAdvance(QLatin1Char('x')) * 17 + 2 * HorizontalMargin;
    QStyleOptionFrame option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(width, height), this);
}

QSize TextBox::minimumSizeHint() const
{
    const QFontMetrics metrics = fontMetrics();
    const int height = metrics.height() + 2;
    const int width = metrics.maxWidth() + 2 * HorizontalMargin;
    QStyleOptionFrame option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(width, height), this);
}

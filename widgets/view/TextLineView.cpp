// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextLineView.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPalette>
#include <QTextCharFormat>

#include <algorithm>
#include <cmath>

namespace {

// How many characters one layout covers: far more than the widest box shows, however narrow
// the letters.
constexpr int PieceCharacters = 2048;

} // namespace

int TextLineView::Piece::local(int position) const
{
    int at = std::clamp(position, start, end) - start;
    if (compositionLength > 0 && at > compositionAt)
        at += compositionLength;
    return at;
}

int TextLineView::Piece::textPosition(int local) const
{
    if (compositionLength > 0 && local > compositionAt)
        local = std::max(compositionAt, local - compositionLength);
    return start + local;
}

qreal TextLineView::Piece::x(int position, int compositionCursor) const
{
    return layout.lineAt(0).cursorToX(local(position) + compositionCursor);
}

void TextLineView::setFont(const QFont &font)
{
    m_font = font;
    ++m_fontRevision;
}

void TextLineView::layOut(Piece &piece, int start, int end) const
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
    piece.compositionAt = -1;
    piece.compositionLength = 0;
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
    const EditedLine::Composition &composition = m_line.composition();
    if (m_line.composing() && piece.holds(cursor)) {
        shown.insert(cursor - start, composition.text);
        piece.compositionAt = cursor - start;
        piece.compositionLength = int(composition.text.size());
        for (const EditedLine::Composition::Format &format : composition.formats) {
            const QTextCharFormat charFormat = format.format.value<QTextFormat>().toCharFormat();
            if (charFormat.isValid())
                formats.append({ cursor - start + format.start, format.length, charFormat });
        }
        if (formats.isEmpty()) {
            QTextCharFormat underlined;
            underlined.setFontUnderline(true);
            formats.append({ cursor - start, int(composition.text.size()), underlined });
        }
    }
    piece.layout.setText(shown);
    piece.layout.setFont(m_font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(m_viewport.rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    piece.layout.setTextOption(option);
    piece.layout.setFormats(formats);
    piece.layout.setCacheEnabled(true);
    piece.layout.beginLayout();
    piece.layout.createLine();
    piece.layout.endLayout();
}

const TextLineView::Piece &TextLineView::shown() const
{
    const ShownKey key { m_line.shownRevision(), m_viewport.firstShown, m_viewport.rightToLeft,
        m_fontRevision, m_line.composing() ? m_line.cursor() : -1 };
    if (!(key == m_shownKey)) {
        layOut(m_shown, m_viewport.firstShown, -1);
        m_shownKey = key;
    }
    return m_shown;
}

// Moved past an edge, the text scrolls just enough to show the cursor there; and no room is left
// empty at the right while text hides at the left. The text always starts on a letter at the
// left edge.
void TextLineView::scrollToCursor(qreal width)
{
    const int cursor = m_line.cursor();
    const int compositionCursor = m_line.composition().cursor;
    Viewport &view = m_viewport;
    view.alignment = 0;
    // Qt's line edit centres the drawn height of its text, which a fallback font's letters
    // (Arabic, say) make taller than the box's own font. Measured where such letters are.
    const QString &text = m_line.text();
    const QStringView near = QStringView(text).mid(
        m_line.size() <= PieceCharacters ? 0 : std::min(view.firstShown, m_line.size()),
        PieceCharacters);
    view.inkHeight
        = std::any_of(near.begin(), near.end(), [](QChar c) { return c.unicode() > 0xFF; })
        ? QFontMetrics(m_font).boundingRect(near.toString() + m_line.composition().text).height()
        : 0;
    // Qt's line edit lays a line out right to left, and aligns it right, when its first strong
    // letter is written that way; it scrolls such a line by pixels over its whole layout. The
    // view does the same up to a piece's length; a longer line scrolls as a left-to-right one,
    // its right-to-left words still in their order.
    view.rightToLeft = m_line.size() <= PieceCharacters && QStringView(text).isRightToLeft();
    if (m_line.size() <= PieceCharacters) {
        // The whole line is what is shown from its start: laid out once for both.
        const int kept = view.firstShown;
        view.firstShown = 0;
        const Piece &whole = shown();
        const int used = qRound(whole.width()) + 1;
        if (whole.width() + 1 <= width) {
            view.firstShown = 0;
            if (view.rightToLeft)
                view.alignment = int(width) - used - 1;
            return;
        }
        if (view.rightToLeft) {
            view.firstShown = 0;
            const int cursorX = qRound(whole.x(cursor, compositionCursor));
            if (cursorX - view.pixelScroll >= width)
                view.pixelScroll = cursorX - int(width) + 1;
            else if (cursorX < view.pixelScroll)
                view.pixelScroll = cursorX;
            else if (used - view.pixelScroll < width)
                view.pixelScroll = used - int(width) + 1;
            view.alignment = -std::max(0, view.pixelScroll);
            return;
        }
        view.firstShown = kept;
    }
    view.rightToLeft = false;
    view.firstShown = std::min(view.firstShown, m_line.size());
    if (cursor < view.firstShown) {
        view.firstShown = cursor;
    } else {
        const Piece &inSight = shown();
        if (!inSight.holds(cursor)
            || inSight.x(cursor, compositionCursor) - inSight.x(view.firstShown) >= width)
            view.firstShown = firstShownFor(cursor, width);
    }
    if (m_line.size() - view.firstShown < PieceCharacters)
        view.firstShown = std::min(view.firstShown, firstShownFor(m_line.size(), width));
}

// The first letter to show so that position `end` (with the unfinished input there) lies just
// inside the right edge.
int TextLineView::firstShownFor(int end, qreal width) const
{
    Piece piece;
    layOut(piece, -1, end);
    const qreal right = piece.x(end, end == m_line.cursor() ? m_line.composition().cursor : 0);
    const qreal left = right - width + 1;
    if (left <= 0)
        return piece.start;
    const QTextLine line = piece.layout.lineAt(0);
    int local = line.xToCursor(left, QTextLine::CursorBetweenCharacters);
    while (line.cursorToX(local) < left && local < piece.layout.text().size())
        local = piece.layout.nextCursorPosition(local);
    return std::min(piece.textPosition(local), end);
}

int TextLineView::localAt(const Piece &inSight, const QRect &row, qreal x) const
{
    const QTextLine line = inSight.layout.lineAt(0);
    return line.xToCursor(x - textLeft(row) + (m_viewport.rightToLeft ? 0 : line.cursorToX(0)));
}

int TextLineView::positionAt(const QRect &row, qreal x) const
{
    if (x < row.left() && !m_viewport.rightToLeft)
        return m_line.previousLetter(m_viewport.firstShown);
    const Piece &inSight = shown();
    return inSight.textPosition(localAt(inSight, row, x));
}

int TextLineView::compositionOffsetAt(const QRect &row, qreal x) const
{
    const Piece &inSight = shown();
    if (!m_line.composing() || !inSight.holds(m_line.cursor()))
        return -1;
    const int offset = localAt(inSight, row, x) - inSight.local(m_line.cursor());
    return offset >= 0 && offset <= m_line.composition().text.size() ? offset : -1;
}

QRect TextLineView::characterRect(const QRect &row, int position) const
{
    const Piece &inSight = shown();
    if (position < inSight.start || position >= inSight.end)
        return QRect();
    const qreal from = inSight.x(position);
    const qreal to = inSight.x(m_line.nextLetter(position));
    return QRect(textLeft(row) + qRound(std::min(from, to)), row.top(),
        std::max(1, qRound(std::abs(to - from))), row.height());
}

QRect TextLineView::cursorRect(const QRect &row, int cursorWidth) const
{
    const int x = textLeft(row) + qRound(shown().x(m_line.cursor(), m_line.composition().cursor));
    return QRect(x, row.top(), cursorWidth + 1, row.height());
}

void TextLineView::draw(QPainter &painter, const QRect &row, const QRectF &bounds,
    const QPalette &palette, int cursorWidth,
    const std::function<void(QPointF)> &beforeCursor) const
{
    const Piece &inSight = shown();
    // A fallback font taller than the box's own (Arabic, say) lifts the line as in Qt's line
    // edit, which puts the layout's ascent where the font's would be.
    const QTextLine line = inSight.layout.lineAt(0);
    const int lift = qRound(line.ascent()) - QFontMetrics(m_font).ascent();
    const QPointF origin(textLeft(row), row.top() - lift);
    painter.setPen(palette.color(QPalette::Text));

    QList<QTextLayout::FormatRange> selections;
    const int selectionStart = std::max(m_line.selectionStart(), inSight.start);
    const int selectionEnd = std::min(m_line.selectionEnd(), inSight.end);
    if (m_line.hasSelection() && selectionStart < selectionEnd) {
        QTextLayout::FormatRange selection;
        selection.start = inSight.local(selectionStart);
        selection.length = inSight.local(selectionEnd) - selection.start;
        selection.format.setBackground(palette.brush(QPalette::Highlight));
        selection.format.setForeground(palette.brush(QPalette::HighlightedText));
        selections.append(selection);
    }
    inSight.layout.draw(&painter, origin, selections, bounds);
    if (!inSight.holds(m_line.cursor()))
        return;
    const QPointF baseline = origin + QPointF(inSight.x(m_line.cursor()), line.ascent());
    if (beforeCursor)
        beforeCursor(baseline);
    if (cursorWidth > 0)
        inSight.layout.drawCursor(&painter, origin,
            inSight.local(m_line.cursor()) + m_line.composition().cursor, cursorWidth);
}

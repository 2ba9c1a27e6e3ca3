// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "EditedLine.h"

#include <QFont>
#include <QPointF>
#include <QRect>
#include <QTextLayout>

#include <functional>

class QPainter;
class QPalette;

// How a one-line text box shows its line: which stretch of the text is in sight, laid out once
// and kept until what it shows changes, and everything asked of that layout (where a point
// falls, where a letter or the cursor is, drawing it). It needs only Qt GUI, no widget: the box
// hands it the row its style puts the text in.
//
// It lays out only the stretch it shows, however long the line: a keystroke in a pasted
// megabyte costs what it costs in an empty line.
class TextLineView
{
public:
    explicit TextLineView(const EditedLine &line) : m_line(line) { }

    void setFont(const QFont &font);

    // Keeps the cursor in sight in a row `width` pixels wide, as Qt's line edit does. Call after
    // every change of the line, the font or the width.
    void scrollToCursor(qreal width);

    // The first letter at the row's left edge.
    int firstShown() const { return m_viewport.firstShown; }
    // How tall the drawn letters are where a fallback font is taller than the box's own; 0 where
    // the font's own height holds.
    int inkHeight() const { return m_viewport.inkHeight; }
    // Whether an arrow pointing to the screen's right steps on into the text.
    bool rightIsForward() const { return !m_viewport.rightToLeft; }

    int positionAt(const QRect &row, qreal x) const;
    // Where `x` falls in the unfinished input; -1 outside it.
    int compositionOffsetAt(const QRect &row, qreal x) const;
    // Empty where the letter is out of sight.
    QRect characterRect(const QRect &row, int position) const;
    QRect cursorRect(const QRect &row, int cursorWidth) const;

    // Draws the shown text and the selection within `bounds`, then, where the cursor is in
    // sight, calls `beforeCursor` with its baseline (what is drawn there lies under the cursor)
    // and draws the cursor where `cursorWidth` is above 0.
    void draw(QPainter &painter, const QRect &row, const QRectF &bounds, const QPalette &palette,
        int cursorWidth, const std::function<void(QPointF baseline)> &beforeCursor = {}) const;

private:
    // A laid-out stretch of the text, with the unfinished input at the cursor when the cursor
    // lies in it. Positions given to it are positions in the whole text.
    struct Piece
    {
        int start = 0;
        int end = 0;
        int compositionAt = -1;
        int compositionLength = 0;
        QTextLayout layout;

        bool holds(int position) const { return position >= start && position <= end; }
        int local(int position) const;
        int textPosition(int local) const;
        qreal x(int position, int compositionCursor = 0) const;
        qreal width() const { return layout.lineAt(0).naturalTextWidth(); }
    };

    // One scheme for both directions: a left-to-right line (or one too long to lay out whole)
    // scrolls by letters, its first shown letter at the left edge; a right-to-left line that
    // fits a piece is laid out whole and scrolls by pixels.
    struct Viewport
    {
        int firstShown = 0;
        bool rightToLeft = false;
        // Where the text's left edge is drawn, from the row's left.
        int alignment = 0;
        // How far a right-to-left line that does not fit is scrolled, from its left end.
        int pixelScroll = 0;
        int inkHeight = 0;
    };

    // Lays out the text from `start` on, as much as a box could ever show from there, or the
    // stretch that ends at `end` when `start` is negative.
    void layOut(Piece &piece, int start, int end) const;
    // The stretch in sight, laid out again only when the text, the unfinished input or where it
    // is, the font or the scroll changed.
    const Piece &shown() const;
    int firstShownFor(int end, qreal width) const;
    int textLeft(const QRect &row) const { return row.left() + m_viewport.alignment; }
    int localAt(const Piece &shown, const QRect &row, qreal x) const;

    const EditedLine &m_line;
    QFont m_font;
    Viewport m_viewport;

    struct ShownKey
    {
        quint64 revision = ~quint64(0);
        int firstShown = -1;
        bool rightToLeft = false;
        quint64 font = 0;
        // Where the unfinished input is put: the cursor may move while it is there.
        int compositionAt = -1;
        bool operator==(const ShownKey &) const = default;
    };
    mutable Piece m_shown;
    mutable ShownKey m_shownKey;
    quint64 m_fontRevision = 1;
};

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

#include <algorithm>
#include <utility>

namespace {

// Qt's line edit keeps this much room between its frame and the text.
constexpr int HorizontalMargin = 2;

} // namespace

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
    m_view.setFont(font());
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
    } else if (m_line.shownRevision() != before.shown) {
        // Unfinished input changes what is shown without changing the text.
        scrollToCursor();
        update();
    }
    // Told whether or not a screen reader listens now, as Qt's line edit does: the events cost
    // next to nothing without one, and a test's handler hears them too.
    tellAssistiveTools(textChanged ? &change : nullptr, cursorMoved, selectionChanged);
    if (std::exchange(m_announcePick, false))
        announcePick(this);
    // Offers hold only until the next edit or cursor move: a completion makes new ones on
    // hearing of the user's edit, after the edit's own events, so that a screen reader says what
    // was typed before the word now offered; otherwise they go.
    const WordOffers offersBefore = std::exchange(m_offers, {});
    const bool nested = std::exchange(m_settling, true);
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
    m_settling = nested;
    if (!nested)
        showOffers(offersBefore);
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
    if (!m_line.composing())
        return;
    if (commit)
        QGuiApplication::inputMethod()->commit();
    else
        QGuiApplication::inputMethod()->reset();
    // An input method that commits sends its text back at once; what is still unfinished has
    // no input method behind it any more.
    edit(By::Program, [](EditedLine &line) { line.compose({}); });
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

// Where Qt's line edit puts it: vertically centred, a little in from the sides.
QRect TextBox::lineRect() const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    const int height = std::max(fontMetrics().height(), m_view.inkHeight());
    const int top = contents.y() + (contents.height() - height + 1) / 2;
    return QRect(
        contents.x() + HorizontalMargin, top, contents.width() - 2 * HorizontalMargin, height);
}

void TextBox::scrollToCursor()
{
    m_view.scrollToCursor(lineRect().width());
}

int TextBox::positionAt(QPointF point) const
{
    return m_view.positionAt(lineRect(), point.x());
}

int TextBox::preeditOffsetAt(QPointF point) const
{
    return m_view.compositionOffsetAt(lineRect(), point.x());
}

QRect TextBox::characterRect(int position) const
{
    return m_view.characterRect(lineRect(), position);
}

int TextBox::cursorWidth() const
{
    return style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this);
}

QRect TextBox::cursorRect() const
{
    return m_view.cursorRect(lineRect(), cursorWidth());
}

void TextBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionFrame frame;
    initStyleOption(&frame);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &frame, &painter, this);
    painter.setClipRect(style()->subElementRect(QStyle::SE_LineEditContents, &frame, this));
    const bool cursorShown = m_cursorOn && hasFocus() && isEnabled();
    m_view.draw(painter, lineRect(), QRectF(rect()), palette(), cursorShown ? cursorWidth() : 0,
        [&](QPointF baseline) { drawSuggestion(painter, baseline); });
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
        m_view.setFont(font());
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

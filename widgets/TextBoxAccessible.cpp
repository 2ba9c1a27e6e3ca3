// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextBoxAccessible.h"

#include "TextBox.h"

#include <QAccessibleWidget>

#include <algorithm>

namespace {

// Debian 12's Qt (6.4) sends a description change to AT-SPI with the object where the new text
// belongs, and Orca 43 then says nothing; it does say a notification that shows, and inside a
// status bar without naming the role. So the box holds a status bar with two notifications, one
// named after the word offered and one after the word last taken, each shown again to be said.
// Two, because Orca reads a name when it gets to the event: a pick and the offer after it, said
// through one object, would both be heard as the offer.
class AnnouncementAccessible : public QAccessibleInterface
{
public:
    using Name = QString (TextBox::*)() const;

    AnnouncementAccessible(
        TextBox *box, QAccessibleInterface *parent, QAccessible::Role role, Name name = nullptr)
        : m_box(box), m_parent(parent), m_role(role), m_name(name)
    { }

    void addChild(QAccessibleInterface *child) { m_children.append(child); }

    bool isValid() const override { return true; }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_parent->window(); }
    QAccessibleInterface *parent() const override { return m_parent; }
    QAccessibleInterface *child(int index) const override { return m_children.value(index); }
    int childCount() const override { return int(m_children.size()); }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return int(m_children.indexOf(child));
    }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text kind) const override
    {
        return kind == QAccessible::Name && m_name ? (m_box->*m_name)() : QString();
    }
    void setText(QAccessible::Text, const QString &) override { }
    QRect rect() const override { return m_parent->rect(); }
    QAccessible::Role role() const override { return m_role; }
    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.invisible = m_name ? (m_box->*m_name)().isEmpty()
                                 : m_box->offeredWord().isEmpty() && m_box->lastPick().isEmpty();
        return state;
    }

private:
    TextBox *m_box;
    QAccessibleInterface *m_parent;
    QList<QAccessibleInterface *> m_children;
    QAccessible::Role m_role;
    Name m_name;
};

// What screen readers ask of an editable line: its text, the cursor, the selection, where a
// character is drawn, and edits.
class TextBoxAccessible : public QAccessibleWidget,
                          public QAccessibleTextInterface,
                          public QAccessibleEditableTextInterface
{
public:
    explicit TextBoxAccessible(TextBox *box) : QAccessibleWidget(box, QAccessible::EditableText)
    {
        auto *status = new AnnouncementAccessible(box, this, QAccessible::StatusBar);
        m_offer = new AnnouncementAccessible(
            box, status, QAccessible::Notification, &TextBox::offeredWord);
        m_pick = new AnnouncementAccessible(
            box, status, QAccessible::Notification, &TextBox::lastPick);
        status->addChild(m_offer);
        status->addChild(m_pick);
        m_status = status;
        for (QAccessibleInterface *part : { m_status, m_offer, m_pick })
            QAccessible::registerAccessibleInterface(part);
    }
    ~TextBoxAccessible() override
    {
        for (QAccessibleInterface *part : { m_pick, m_offer, m_status })
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(part));
    }

    QAccessibleInterface *offer() const { return m_offer; }
    QAccessibleInterface *pick() const { return m_pick; }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? m_status : nullptr;
    }
    int childCount() const override { return 1; }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && child == m_status ? 0 : -1;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Value)
            return box()->text();
        // What "Where am I" reads: the whole words offered, in order, not the rest drawn after
        // the cursor.
        if (kind == QAccessible::Description)
            return box()->offers().words.join(QStringLiteral(", "));
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = true;
        state.selectableText = true;
        return state;
    }

    void selection(int index, int *start, int *end) const override
    {
        *start = *end = 0;
        if (index == 0 && box()->hasSelectedText()) {
            *start = std::min(box()->cursorPosition(), box()->anchorPosition());
            *end = std::max(box()->cursorPosition(), box()->anchorPosition());
        }
    }
    int selectionCount() const override { return box()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { box()->setCursorPosition(box()->cursorPosition()); }
    void setSelection(int, int start, int end) override { box()->setSelection(start, end - start); }
    int cursorPosition() const override { return box()->cursorPosition(); }
    void setCursorPosition(int position) override { box()->setCursorPosition(position); }
    QString text(int start, int end) const override
    {
        return box()->text().mid(start, std::max(0, end - start));
    }
    int characterCount() const override { return int(box()->text().size()); }
    QRect characterRect(int offset) const override
    {
        const QRect local = box()->characterRect(offset);
        return QRect(box()->mapToGlobal(local.topLeft()), local.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return box()->positionAt(box()->mapFromGlobal(point));
    }
    void scrollToSubstring(int start, int) override { box()->setCursorPosition(start); }
    // One run without attributes over the whole line: Orca ends a line it reads where the run
    // at its start ends, and an empty run there loses the last letter.
    QString attributes(int, int *start, int *end) const override
    {
        *start = 0;
        *end = characterCount();
        return QString();
    }

    void deleteText(int start, int end) override { box()->replace(start, end - start, QString()); }
    void insertText(int offset, const QString &text) override { box()->replace(offset, 0, text); }
    void replaceText(int start, int end, const QString &text) override
    {
        box()->replace(start, end - start, text);
    }

private:
    TextBox *box() const { return static_cast<TextBox *>(widget()); }

    QAccessibleInterface *m_status;
    QAccessibleInterface *m_offer;
    QAccessibleInterface *m_pick;
};

} // namespace

QAccessibleInterface *accessibleTextBox(const QString &className, QObject *object)
{
    if (className == QLatin1String("TextBox") && object && object->isWidgetType())
        return new TextBoxAccessible(static_cast<TextBox *>(object));
    return nullptr;
}

namespace {

void announce(TextBox *box, QAccessibleInterface *(TextBoxAccessible::*part)() const)
{
    auto *accessible = static_cast<TextBoxAccessible *>(QAccessible::queryAccessibleInterface(box));
    QAccessibleEvent shown((accessible->*part)(), QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
    // Orca 43 puts a notification on the braille display as a message of its own, made of the
    // labels inside it (none here, so an empty line), for five seconds or until the next key: a
    // braille reader would lose the line after every letter. A selection event right after it has
    // Orca show the box's line again, and it says nothing of a selection that stays as it was.
    // Only for the focused box: Orca would show the box's line whatever has the focus.
    if (!box->hasFocus())
        return;
    int start = 0;
    int end = 0;
    accessible->selection(0, &start, &end);
    QAccessibleTextSelectionEvent selection(box, start, end);
    selection.setCursorPosition(box->cursorPosition());
    QAccessible::updateAccessibility(&selection);
}

} // namespace

void announceOffer(TextBox *box)
{
    announce(box, &TextBoxAccessible::offer);
}

void announcePick(TextBox *box)
{
    announce(box, &TextBoxAccessible::pick);
}

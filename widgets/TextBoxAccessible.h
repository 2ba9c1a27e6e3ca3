// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessibleInterface>

// The accessibility factory for TextBox: an editable text with its cursor and selection.
QAccessibleInterface *accessibleTextBox(const QString &className, QObject *object);

class TextBox;
// Tells assistive technology the word the box now offers, which is no part of its text.
void announceOffer(TextBox *box);
// Tells it the word just taken from the offers (TextBox::lastPick()), where the key that took it
// gives a screen reader no cause to say what was written.
void announcePick(TextBox *box);

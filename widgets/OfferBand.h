// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>

#include <array>

#include "WordOffers.h"

class QAbstractButton;
class TextBox;

// The words a text box offers, numbered as F1 to F3 take them, in a one-line window of its own
// just under the box's window (above it where the screen ends below), as wide as that window and
// in the box's font and colours. Like a completer's popup it never takes the keyboard focus: a
// click on a word writes it into the box, and the box keeps the focus. It shows only while the
// box offers something and could take it: not while the box is disabled or its window hidden,
// nor while another program has the focus, nor on a Wayland desktop, which does not let it be
// placed.
class OfferBand : public QWidget
{
    Q_OBJECT
public:
    explicit OfferBand(TextBox *box);
    ~OfferBand() override;

    // Where the band goes for a window at `anchor` on a screen whose usable part is `screen`.
    static QRect placeFor(const QRect &anchor, int height, const QRect &screen);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void showOffers();
    void place();

    QPointer<TextBox> m_box;
    std::array<QAbstractButton *, WordOffers::Most> m_words {};
};

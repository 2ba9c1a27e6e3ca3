// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>

// A top-level window seen in twips, the unit all of the system's geometry is given in.
// Top is kept here rather than read back from the widget: a window manager may clamp a window
// or report its position late, and the slides must see the value they wrote.
class TwipWindow : public QObject
{
    Q_OBJECT
public:
    static constexpr int TwipsPerPixel = 15;

    // To the nearest pixel; far beyond any screen, to a bound the window system can take.
    static constexpr int toPixels(double twips)
    {
        const double pixels = twips / TwipsPerPixel;
        if (!(pixels > -1e6))
            return pixels < 0 ? -1000000 : 0;
        if (pixels > 1e6)
            return 1000000;
        return static_cast<int>(pixels < 0 ? pixels - 0.5 : pixels + 0.5);
    }
    // A rectangle given in twips, each of its four numbers to the nearest pixel. The one way
    // every window places its controls and every test says where they must be.
    static constexpr QRect toPixelRect(int left, int top, int width, int height)
    {
        return { toPixels(left), toPixels(top), toPixels(width), toPixels(height) };
    }
    static constexpr float toTwips(int pixels)
    {
        return static_cast<float>(pixels * TwipsPerPixel);
    }

    explicit TwipWindow(QWidget *window);

    QWidget *widget() const { return m_window; }

    float top() const { return m_top; }
    void setTop(float twips);
    float width() const;
    float height() const;
    void setHeight(float twips);
    void setSize(float widthTwips, float heightTwips);

    // Centres the window on its screen (the primary one before it has been shown).
    void centreOnScreen();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_window;
    float m_top = 0;
    QElapsedTimer m_sinceOwnMove;
};

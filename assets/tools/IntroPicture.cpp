// SPDX-License-Identifier: GPL-3.0-or-later
#include "IntroPicture.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

namespace {

constexpr int Width = 408;
constexpr int Height = 332;
// How far the letters' sides reach back, in pixels, down and to the right.
constexpr int Depth = 14;

void paintBackground(QPainter &p)
{
    QLinearGradient sky(0, 0, 0, Height);
    sky.setColorAt(0.0, QColor(4, 10, 28));
    sky.setColorAt(1.0, QColor(2, 4, 12));
    p.fillRect(QRect(0, 0, Width, Height), sky);
}

// Rows of 0 and 1, brighter towards the middle, as if lit by the letters.
void paintDigits(QPainter &p)
{
    // A fixed seed: the same picture on every run of the generator.
    QRandomGenerator random(19970601);
    QFont font(QStringLiteral("OCRA"));
    font.setPixelSize(12);
    font.setStyleStrategy(QFont::PreferAntialias);
    p.setFont(font);
    const QPointF centre(Width * 0.5, Height * 0.42);
    constexpr int RowHeight = 14;
    constexpr int ColumnWidth = 10;
    for (int y = 12; y < Height + RowHeight; y += RowHeight) {
        for (int x = 2; x < Width; x += ColumnWidth) {
            const QChar digit = random.bounded(2) ? u'1' : u'0';
            const double distance = QLineF(centre, QPointF(x, y)).length() / (Width * 0.6);
            const double light = std::clamp(1.0 - distance, 0.08, 1.0);
            const int flicker = random.bounded(60);
            p.setPen(QColor(static_cast<int>(20 * light), static_cast<int>((90 + flicker) * light),
                static_cast<int>((70 + flicker) * light) + 20));
            p.drawText(QPointF(x, y), QString(digit));
        }
    }
}

QPainterPath letters()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setBold(true);
    font.setPixelSize(230);
    QPainterPath path;
    path.addText(0, 0, font, QStringLiteral("VL"));
    const QRectF box = path.boundingRect();
    // Centred across, a little above the middle so the label below stays clear.
    return path.translated((Width - box.width() - Depth) / 2.0 - box.left(), 24 - box.top());
}

// One colour run across both letters, red on the left through to violet on the right.
QLinearGradient rainbow(const QRectF &box, double lightness)
{
    QLinearGradient colours(box.topLeft(), box.bottomRight());
    const QColor stops[] = { QColor(235, 40, 60), QColor(250, 140, 20), QColor(250, 220, 40),
        QColor(60, 200, 80), QColor(30, 170, 230), QColor(120, 70, 230), QColor(220, 60, 200) };
    constexpr int Count = static_cast<int>(std::size(stops));
    for (int i = 0; i < Count; ++i)
        colours.setColorAt(static_cast<double>(i) / (Count - 1),
            stops[i].lighter(static_cast<int>(lightness * 100)));
    return colours;
}

void paintShadow(QPainter &p, const QRectF &box)
{
    QRadialGradient shadow(box.center().x(), box.bottom() + Depth + 6, box.width() * 0.55);
    shadow.setColorAt(0.0, QColor(0, 0, 0, 170));
    shadow.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.save();
    p.translate(0, box.bottom() + Depth + 6);
    p.scale(1.0, 0.12);
    p.translate(0, -(box.bottom() + Depth + 6));
    p.fillRect(QRectF(0, 0, Width, Height * 3), shadow);
    p.restore();
}

void paintExtrusion(QPainter &p, const QPainterPath &front)
{
    const QRectF box = front.boundingRect();
    for (int step = Depth; step >= 1; --step) {
        // Darker the further back, so the sides read as turning away from the light.
        const double lightness = 0.35 + 0.25 * (1.0 - static_cast<double>(step) / Depth);
        p.fillPath(front.translated(step, step), rainbow(box.translated(step, step), lightness));
    }
}

void paintFace(QPainter &p, const QPainterPath &front)
{
    const QRectF box = front.boundingRect();
    p.fillPath(front, rainbow(box, 1.0));

    // The gloss: a bright band over the upper part of each letter, ending in a soft curve.
    QPainterPath band;
    band.moveTo(box.left() - 10, box.top() - 10);
    band.lineTo(box.right() + 10, box.top() - 10);
    band.lineTo(box.right() + 10, box.top() + box.height() * 0.38);
    band.quadTo(box.center().x(), box.top() + box.height() * 0.56, box.left() - 10,
        box.top() + box.height() * 0.40);
    band.closeSubpath();
    QLinearGradient shine(0, box.top(), 0, box.top() + box.height() * 0.5);
    shine.setColorAt(0.0, QColor(255, 255, 255, 210));
    shine.setColorAt(1.0, QColor(255, 255, 255, 40));
    p.fillPath(front.intersected(band), shine);

    p.setPen(QPen(QColor(20, 10, 30), 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(front);
    // A thin light rim along the upper edges, where the face meets the light.
    p.setPen(QPen(QColor(255, 255, 255, 150), 1.0));
    p.drawPath(front.translated(-1, -1).intersected(band));
}

} // namespace

QImage paintIntroPicture()
{
    QImage image(Width, Height, QImage::Format_RGB888);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintBackground(p);
    paintDigits(p);
    const QPainterPath front = letters();
    paintShadow(p, front.boundingRect());
    paintExtrusion(p, front);
    paintFace(p, front);
    return image;
}

// SPDX-License-Identifier: GPL-3.0-or-later
#include "CreditsPicture.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace {

constexpr int Width = 334;
constexpr int Height = 303;

// Skin lit by a warm key light from the upper left and falling off into the dark on the right.
QBrush skin(const QRectF &area)
{
    QRadialGradient light(
        area.left() + area.width() * 0.3, area.top() + area.height() * 0.35, area.width() * 0.9);
    light.setColorAt(0.0, QColor(222, 170, 132));
    light.setColorAt(0.35, QColor(176, 118, 84));
    light.setColorAt(0.7, QColor(88, 52, 36));
    light.setColorAt(1.0, QColor(20, 12, 10));
    return light;
}

void paintBackground(QPainter &p)
{
    QRadialGradient glow(Width * 0.35, Height * 0.35, Width * 0.8);
    glow.setColorAt(0.0, QColor(44, 40, 52));
    glow.setColorAt(0.6, QColor(16, 14, 22));
    glow.setColorAt(1.0, QColor(4, 4, 8));
    p.fillRect(QRect(0, 0, Width, Height), glow);
}

void paintShoulders(QPainter &p)
{
    QPainterPath body;
    body.moveTo(10, Height);
    body.cubicTo(20, 250, 90, 232, 132, 226);
    body.lineTo(202, 226);
    body.cubicTo(250, 232, 316, 250, 326, Height);
    body.closeSubpath();
    QLinearGradient cloth(0, 226, Width, Height);
    cloth.setColorAt(0.0, QColor(48, 44, 58));
    cloth.setColorAt(1.0, QColor(8, 8, 12));
    p.fillPath(body, cloth);

    QPainterPath neck;
    neck.moveTo(140, 190);
    neck.lineTo(194, 190);
    neck.cubicTo(196, 215, 200, 228, 206, 236);
    neck.cubicTo(186, 252, 148, 252, 128, 236);
    neck.cubicTo(134, 228, 138, 215, 140, 190);
    p.fillPath(neck, skin(QRectF(120, 170, 100, 90)));
    // The chin's shadow on the neck.
    QRadialGradient shade(167, 196, 34);
    shade.setColorAt(0.0, QColor(0, 0, 0, 150));
    shade.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.fillPath(neck, shade);
}

void paintHead(QPainter &p)
{
    const QRectF head(112, 50, 110, 150);
    QPainterPath face;
    face.moveTo(head.center().x(), head.top());
    face.cubicTo(head.right() + 4, head.top(), head.right() + 2, 150, 192, 182);
    face.cubicTo(182, 198, 152, 198, 142, 182);
    face.cubicTo(head.left() - 2, 150, head.left() - 4, head.top(), head.center().x(), head.top());
    p.fillPath(face, skin(head));

    // Ears, the far one lost in shadow.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 98, 70));
    p.drawEllipse(QRectF(104, 112, 14, 30));
    p.setBrush(QColor(40, 24, 18));
    p.drawEllipse(QRectF(217, 112, 12, 28));

    // Hair: a dark cap with a soft parting highlight.
    QPainterPath hair;
    hair.moveTo(106, 120);
    hair.cubicTo(96, 40, 150, 24, 176, 30);
    hair.cubicTo(220, 34, 240, 70, 228, 124);
    hair.cubicTo(222, 96, 214, 74, 190, 66);
    hair.cubicTo(160, 80, 130, 70, 118, 86);
    hair.cubicTo(112, 96, 110, 108, 106, 120);
    QLinearGradient hairShade(110, 30, 230, 110);
    hairShade.setColorAt(0.0, QColor(70, 52, 40));
    hairShade.setColorAt(0.4, QColor(30, 22, 18));
    hairShade.setColorAt(1.0, QColor(6, 5, 5));
    p.fillPath(hair, hairShade);
}

void paintEye(QPainter &p, QPointF centre, double light)
{
    QPainterPath lid;
    lid.moveTo(centre.x() - 13, centre.y());
    lid.quadTo(centre.x(), centre.y() - 9, centre.x() + 13, centre.y());
    lid.quadTo(centre.x(), centre.y() + 7, centre.x() - 13, centre.y());
    p.fillPath(lid, QColor::fromRgbF(0.85 * light, 0.80 * light, 0.76 * light));
    p.save();
    p.setClipPath(lid);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(58, 40, 28));
    p.drawEllipse(centre, 6.5, 6.5);
    p.setBrush(QColor(8, 6, 6));
    p.drawEllipse(centre, 3.2, 3.2);
    p.restore();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 250, 240, static_cast<int>(220 * light)));
    p.drawEllipse(centre + QPointF(-2, -2), 1.4, 1.4);
    // Upper lid line and brow.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(24, 14, 10, 220), 2.0));
    p.drawArc(QRectF(centre.x() - 13, centre.y() - 8, 26, 16), 20 * 16, 140 * 16);
    p.setPen(QPen(QColor(30, 20, 16, 230), 3.5, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(centre.x() - 15, centre.y() - 19, 30, 18), 25 * 16, 130 * 16);
}

void paintFeatures(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    paintEye(p, QPointF(146, 120), 1.0);
    paintEye(p, QPointF(190, 120), 0.55);

    // Nose: a shadow down its dark side and the nostrils.
    QPainterPath nose;
    nose.moveTo(170, 122);
    nose.cubicTo(174, 138, 180, 148, 180, 156);
    nose.cubicTo(176, 161, 168, 162, 160, 158);
    p.setPen(QPen(QColor(40, 24, 18, 200), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(nose);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(36, 20, 16, 200));
    p.drawEllipse(QPointF(162, 157), 3, 2);
    p.drawEllipse(QPointF(176, 157), 3, 2);

    // Lips.
    QPainterPath mouth;
    mouth.moveTo(150, 174);
    mouth.cubicTo(160, 170, 166, 172, 168, 173);
    mouth.cubicTo(172, 171, 180, 170, 188, 174);
    mouth.cubicTo(178, 184, 160, 184, 150, 174);
    QLinearGradient lips(150, 170, 188, 184);
    lips.setColorAt(0.0, QColor(150, 72, 62));
    lips.setColorAt(1.0, QColor(60, 26, 24));
    p.fillPath(mouth, lips);
    p.setPen(QPen(QColor(40, 14, 12), 1.5));
    p.drawLine(QPointF(151, 174.5), QPointF(187, 174.5));
}

void paintVignette(QPainter &p)
{
    QRadialGradient dark(Width / 2.0, Height / 2.0, Width * 0.62);
    dark.setColorAt(0.6, QColor(0, 0, 0, 0));
    dark.setColorAt(1.0, QColor(0, 0, 0, 200));
    p.fillRect(QRect(0, 0, Width, Height), dark);
}

} // namespace

QImage paintCreditsPicture()
{
    QImage image(Width, Height, QImage::Format_RGB888);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    paintBackground(p);
    paintShoulders(p);
    paintHead(p);
    paintFeatures(p);
    paintVignette(p);
    return image;
}

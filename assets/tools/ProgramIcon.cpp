// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

// All shapes on a 256-unit canvas.
constexpr double Canvas = 256;

const QRectF Tile(16, 16, 224, 224);
constexpr double TileRadius = 48;
const QColor TileFrom(58, 123, 213);
const QColor TileTo(106, 48, 147);

const QRectF Bubble(40, 52, 176, 128);
constexpr double BubbleRadius = 40;
const QPolygonF Tail({ QPointF(76, 168), QPointF(62, 216), QPointF(124, 176) });

struct Bar
{
    QRectF rect;
    QColor colour;
};

const std::vector<Bar> &bars()
{
    static const std::vector<Bar> levels = {
        { QRectF(66, 100, 20, 32), QColor(229, 57, 53) },
        { QRectF(94, 84, 20, 64), QColor(251, 140, 0) },
        { QRectF(122, 70, 20, 92), QColor(253, 200, 30) },
        { QRectF(150, 84, 20, 64), QColor(67, 160, 71) },
        { QRectF(178, 100, 20, 32), QColor(30, 136, 229) },
    };
    return levels;
}

constexpr double BarRadius = 10;

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

QString svgRect(const QRectF &r, double radius, const QString &fill)
{
    return QStringLiteral(
        "  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" rx=\"%5\" fill=\"%6\"/>\n")
        .arg(number(r.x()), number(r.y()), number(r.width()), number(r.height()), number(radius),
            fill);
}

} // namespace

QString programIconSvg()
{
    QString svg = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
        "viewBox=\"0 0 256 256\">\n"
        "  <defs>\n"
        "    <linearGradient id=\"tile\" gradientUnits=\"userSpaceOnUse\" x1=\"%1\" y1=\"%2\" "
        "x2=\"%3\" y2=\"%4\">\n"
        "      <stop offset=\"0\" stop-color=\"%5\"/>\n"
        "      <stop offset=\"1\" stop-color=\"%6\"/>\n"
        "    </linearGradient>\n"
        "  </defs>\n")
                      .arg(number(Tile.left()), number(Tile.top()), number(Tile.right()),
                          number(Tile.bottom()), TileFrom.name(), TileTo.name());
    svg += svgRect(Tile, TileRadius, "url(#tile)");
    svg += svgRect(Bubble, BubbleRadius, "#ffffff");
    QStringList points;
    for (const QPointF &point : Tail)
        points << number(point.x()) + ',' + number(point.y());
    svg += QStringLiteral("  <polygon points=\"%1\" fill=\"#ffffff\"/>\n").arg(points.join(' '));
    for (const Bar &bar : bars())
        svg += svgRect(bar.rect, BarRadius, bar.colour.name());
    svg += QStringLiteral("</svg>\n");
    return svg;
}

QImage paintProgramIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / Canvas, size / Canvas);
    p.setPen(Qt::NoPen);

    QLinearGradient tile(Tile.topLeft(), Tile.bottomRight());
    tile.setColorAt(0.0, TileFrom);
    tile.setColorAt(1.0, TileTo);
    p.setBrush(tile);
    p.drawRoundedRect(Tile, TileRadius, TileRadius);

    p.setBrush(Qt::white);
    p.drawRoundedRect(Bubble, BubbleRadius, BubbleRadius);
    p.drawPolygon(Tail);

    for (const Bar &bar : bars()) {
        p.setBrush(bar.colour);
        p.drawRoundedRect(bar.rect, BarRadius, BarRadius);
    }
    return image;
}

std::vector<int> programIconSizes()
{
    return { 16, 22, 24, 32, 48, 64, 128, 256 };
}

#include "app/stationicon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

namespace carvela {
namespace {

QColor colourOf(StationStatus status)
{
    switch (status) {
    case StationStatus::On:
        return {0x2E, 0x9D, 0x3C};
    case StationStatus::Failed:
        return {0xC6, 0x28, 0x28};
    case StationStatus::Off:
        break;
    }
    return {0x80, 0x80, 0x80};
}

// Half a circle of the given radius around centre, from startDegrees, with an arrow head at its end.
void drawArrow(QPainter& painter, QPointF centre, qreal radius, qreal startDegrees)
{
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    const qreal sweep = 140;
    QPainterPath arc;
    arc.arcMoveTo(circle, startDegrees);
    arc.arcTo(circle, startDegrees, sweep);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(arc);

    // The head points along the arc's direction at its end (counter-clockwise on screen).
    const qreal end = qDegreesToRadians(startDegrees + sweep);
    const QPointF tip(centre.x() + radius * qCos(end), centre.y() - radius * qSin(end));
    const QPointF along(-qSin(end), -qCos(end)); // tangent, screen coordinates
    const QPointF across(qCos(end), -qSin(end)); // outward normal
    const qreal size = 4.5;
    QPolygonF head;
    head << tip + along * size << tip + across * size * 0.9 << tip - across * size * 0.9;
    painter.setBrush(painter.pen().color());
    painter.drawPolygon(head);
}

QPixmap drawIcon(StationStatus status, int side)
{
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 32.0, side / 32.0);

    const QColor colour = colourOf(status);
    QLinearGradient body(0, 0, 0, 32);
    body.setColorAt(0, colour.lighter(135));
    body.setColorAt(1, colour.darker(115));
    painter.setPen(QPen(colour.darker(160), 1));
    painter.setBrush(body);
    painter.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 6, 6);

    painter.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::FlatCap));
    const QPointF centre(16, 16);
    drawArrow(painter, centre, 8.5, 20);
    drawArrow(painter, centre, 8.5, 200);
    return pixmap;
}

} // namespace

QIcon stationIcon(StationStatus status)
{
    QIcon icon;
    for (const int side : {16, 32, 64})
        icon.addPixmap(drawIcon(status, side));
    return icon;
}

} // namespace carvela

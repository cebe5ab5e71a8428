#include "app/toggleswitch.h"

#include <QPainter>
#include <QPainterPath>

namespace carvela {

ToggleSwitch::ToggleSwitch(QWidget* parent)
    : QAbstractButton(parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    QPalette silver = palette();
    silver.setColor(QPalette::Window, QColor(0xC0, 0xC0, 0xC0));
    setPalette(silver);
}

QSize ToggleSwitch::sizeHint() const
{
    return {50, 60};
}

void ToggleSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    // The slot the lever runs in, centred, with a margin for the focus frame.
    const QRectF area = QRectF(rect()).adjusted(4, 4, -4, -4);
    const qreal slotWidth = qMin<qreal>(22, area.width());
    const QRectF slot(area.center().x() - slotWidth / 2, area.top(), slotWidth, area.height());
    const bool on = isChecked();
    const QColor slotColour = !isEnabled() ? QColor(0xA8, 0xA8, 0xA8)
                              : on         ? QColor(0x2E, 0x9D, 0x3C)
                                           : QColor(0x80, 0x80, 0x80);
    painter.setPen(QPen(QColor(0x50, 0x50, 0x50), 1));
    painter.setBrush(slotColour);
    painter.drawRoundedRect(slot, slotWidth / 2, slotWidth / 2);

    // The lever: up when on, down when off; sunk a little while the mouse holds it.
    const qreal knob = slotWidth - 4;
    const qreal y = on ? slot.top() + 2 : slot.bottom() - 2 - knob;
    QRectF lever(slot.left() + 2, y, knob, knob);
    if (isDown())
        lever.translate(0, on ? 1 : -1);
    QLinearGradient shine(lever.topLeft(), lever.bottomLeft());
    shine.setColorAt(0, QColor(0xFA, 0xFA, 0xFA));
    shine.setColorAt(1, QColor(0xC8, 0xC8, 0xC8));
    painter.setBrush(shine);
    painter.drawEllipse(lever);

    if (hasFocus()) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
    }
}

} // namespace carvela

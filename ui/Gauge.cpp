#include "ui/Gauge.h"

#include <QPainter>
#include <algorithm>

Gauge::Gauge(QWidget* parent) : QWidget(parent)
{
}

void Gauge::SetProgress(int percent)
{
    const int clamped = std::clamp(percent, 0, 100);
    if (clamped == m_progress)
        return;
    m_progress = clamped;
    // Painted with the window, which a run lets paint now and then: never
    // from inside the run, where the desktop's events wait unread.
    update();
}

void Gauge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    painter.fillRect(inner, Qt::white);
    const int filled = inner.width() * m_progress / 100;
    const QRect bar(inner.left(), inner.top(), filled, inner.height());
    painter.fillRect(bar, QColor(0, 0, 255));
    painter.setPen(Qt::black);
    painter.drawRect(frame);

    // The text is drawn twice, clipped: white over the bar, black elsewhere.
    const QString text = QString::asprintf("%d%%", m_progress);
    painter.setClipRect(bar);
    painter.setPen(Qt::white);
    painter.drawText(inner, Qt::AlignCenter, text);
    painter.setClipRect(inner.adjusted(filled, 0, 0, 0));
    painter.setPen(Qt::black);
    painter.drawText(inner, Qt::AlignCenter, text);
}

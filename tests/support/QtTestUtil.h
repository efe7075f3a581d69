#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QIcon>
#include <QPixmap>

// A 16 x 16 icon of one colour.
inline QIcon SolidIcon(Qt::GlobalColor color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

// Delivers what was posted (to the icons' hidden windows, say), as the event
// loop would.
inline void DeliverPosted()
{
    QCoreApplication::sendPostedEvents();
}

// Counts the paints of the widgets it watches.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
    int count = 0;
};

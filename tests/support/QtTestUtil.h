#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QIcon>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

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

// Closes the modal box still open ten seconds after it was made: a test that
// did not find its box never hangs.
class ModalGuard {
public:
    ModalGuard()
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        m_timer.start(10000);
    }

private:
    QTimer m_timer;
};

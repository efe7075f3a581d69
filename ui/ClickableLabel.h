#pragma once

#include <QLabel>

// A label that acts on the mouse like a control of its own: the link text
// and the pictures. A press and release over it is a click; with mouse
// tracking on, every move over it is reported. Neither reaches the window
// behind it.
class ClickableLabel : public QLabel {
    Q_OBJECT

public:
    explicit ClickableLabel(QWidget* parent = nullptr);

signals:
    void clicked();
    void mouseMoved();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    bool m_pressed = false;
};

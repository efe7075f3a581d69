#pragma once

#include <QWidget>

// The run's progress bar: 0..100, blue on white with a single border and
// the percentage ("%d%%") in its middle.
class Gauge : public QWidget {
    Q_OBJECT
public:
    explicit Gauge(QWidget* parent = nullptr);

    int Progress() const { return m_progress; }
    // Clamps to 0..100; the new value is painted with the window, which a
    // run lets paint while it works (RunEvents::KeepResponsive).
    void SetProgress(int percent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_progress = 0;
};

#pragma once

#include <QWidget>

// The run's progress bar: 0..100, blue on white with a single border and
// the percentage ("%d%%") in its middle.
class Gauge : public QWidget {
    Q_OBJECT
public:
    explicit Gauge(QWidget* parent = nullptr);

    int Progress() const { return m_progress; }
    // Clamps to 0..100; repaints at once when the shown value changes, since
    // a run handles no events while it works.
    void SetProgress(int percent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_progress = 0;
};

#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class QTimer;

struct TMessage {
    uint32_t Msg = 0;
    uintptr_t WParam = 0;
    intptr_t LParam = 0;
    intptr_t Result = 0;
};

// The tray icon's hidden window: it receives the notification area's
// callbacks (posted WindowMessageEvents) and its own timers, and hands each
// to one procedure, one at a time through the event loop.
class TrayMessageWindow : public QObject {
    Q_OBJECT

public:
    using Procedure = std::function<void(TMessage&)>;

    explicit TrayMessageWindow(Procedure procedure);
    ~TrayMessageWindow() override;

    // Starts or restarts timer id; it fires every ms milliseconds until killed.
    void SetTimer(uint32_t id, int ms);
    void KillTimer(uint32_t id);
    bool IsTimerActive(uint32_t id) const;
    // The running timer's interval, -1 when it is not running.
    int TimerInterval(uint32_t id) const;

protected:
    bool event(QEvent* event) override;

private:
    void Dispatch(uint32_t message, uintptr_t wParam, intptr_t lParam);

    Procedure m_procedure;
    // Kept once made: a timer may be killed from inside its own tick.
    std::map<uint32_t, std::unique_ptr<QTimer>> m_timers;
};

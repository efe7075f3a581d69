#pragma once

#include <QCoreApplication>
#include <QTimer>
#include <deque>
#include <functional>
#include <utility>

// While a run works, the window still paints and answers the desktop's
// "are you alive?" (RunHost::KeepResponsive), and with that, commands can
// reach it: a tray click over D-Bus, a menu item, a close request from the
// window manager. None of them may act in the middle of the run: while the
// gate is closed they wait, and once the event loop runs freely again (the
// run is over, or waits in a box of its own) they act in the order they came.
class CommandGate {
public:
    static bool IsClosed() { return s_closed > 0; }

    // Runs command now, or later when the gate is closed.
    static void Pass(std::function<void()> command)
    {
        if (!IsClosed()) {
            command();
            return;
        }
        s_waiting.push_back(std::move(command));
        if (s_waiting.size() == 1) {
            // A timer: none fires while the gate is closed.
            QTimer::singleShot(0, QCoreApplication::instance(), [] { RunWaiting(); });
        }
    }

    // Closes the gate for as long as it lives.
    class Closed {
    public:
        Closed() { ++s_closed; }
        ~Closed() { --s_closed; }
        Closed(const Closed&) = delete;
        Closed& operator=(const Closed&) = delete;
    };

private:
    static void RunWaiting()
    {
        while (!s_waiting.empty() && !IsClosed()) {
            std::function<void()> command = std::move(s_waiting.front());
            s_waiting.pop_front();
            command();
        }
        if (!s_waiting.empty())
            QTimer::singleShot(0, QCoreApplication::instance(), [] { RunWaiting(); });
    }

    static inline int s_closed = 0;
    static inline std::deque<std::function<void()>> s_waiting;
};

#pragma once

#include <functional>

namespace platform {

// What a long piece of work calls now and then, on the thread that does it:
// a run sets it for its thread, so that the window can answer its desktop
// (paint, say it is alive) while the run works. The file layer's long waits
// (a big copy, a flush, a big folder) and the run's own steps call Beat.
// Other threads have none: Beat does nothing there.
class KeepAlive {
public:
    // beat: what Beat calls on this thread from now until the end of the
    // KeepAlive; it is called often and decides itself how often to act.
    explicit KeepAlive(std::function<void()> beat);
    ~KeepAlive();
    KeepAlive(const KeepAlive&) = delete;
    KeepAlive& operator=(const KeepAlive&) = delete;

    static void Beat();

private:
    std::function<void()> m_beat;
    const KeepAlive* m_outer;
};

}  // namespace platform

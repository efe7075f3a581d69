#include "app/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>
#include <csignal>

namespace TerminationSignals {

namespace {

volatile std::sig_atomic_t g_requested = 0;
// The handler writes a byte here; the event loop watches the other end.
int g_pipe[2] = {-1, -1};

void OnSignal(int)
{
    g_requested = 1;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_pipe[1], &byte, 1);
}

}  // namespace

void Watch(QObject* context, std::function<void()> onRequest)
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [notifier, onRequest = std::move(onRequest)] {
        char byte;
        while (::read(g_pipe[0], &byte, 1) > 0) {}
        // A second signal while saving must not start the saving again.
        notifier->setEnabled(false);
        onRequest();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGHUP, SIGINT})
        sigaction(signal, &action, nullptr);
}

bool Requested()
{
    return g_requested != 0;
}

}  // namespace TerminationSignals

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

#include "app/FolderlyApplication.h"
#include "app/Lifecycle.h"
#include "platform/ProgramFolder.h"
#include "ui/ErrorReport.h"
#include "ui/Unit1.h"

namespace {

// A desktop session that ends without session management sends SIGTERM (or
// SIGHUP); the signal is turned into an event so that the saving can run.
int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

void WatchTerminationSignals(TForm1& form, Lifecycle& lifecycle)
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &form);
    QObject::connect(notifier, &QSocketNotifier::activated, &form, [&lifecycle] {
        char byte;
        while (::read(g_signalPipe[0], &byte, 1) > 0) {
        }
        try {
            lifecycle.SaveForSessionEnd();
        } catch (const std::exception&) {
            // Nobody is there to read a message any more.
        }
        QCoreApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

}  // namespace

int main(int argc, char* argv[])
{
    FolderlyApplication application(argc, argv);
    TForm1 form(platform::ProgramFolderFromEnvironment());
    Lifecycle lifecycle(form);
    form.SetCloseHandler([&lifecycle] { return lifecycle.FormClose(); });
    // A step that fails is shown; the window opens all the same.
    lifecycle.FormCreate();

    // The session manager asks for the data to be saved before logging off.
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &form, [&lifecycle](QSessionManager&) {
        try {
            lifecycle.SaveForSessionEnd();
        } catch (const std::exception& error) {
            ReportException(error);
        }
    });
    WatchTerminationSignals(form, lifecycle);

    if (form.StartMinimized())
        form.StartInTray();
    else
        form.show();
    return application.exec();
}

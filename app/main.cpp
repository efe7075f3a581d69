#include <QFile>
#include <cstdio>

#include "app/CommandLine.h"
#include "app/FolderlyApplication.h"
#include "app/Lifecycle.h"
#include "app/SingleInstance.h"
#include "app/TerminationSignals.h"
#include "app/UnattendedRun.h"
#include "core/Program.h"
#include "platform/fs/CopyQueue.h"
#include "platform/fs/ProgramFolder.h"
#include "ui/ErrorReport.h"
#include "ui/Unit1.h"

namespace {

QStringList ArgumentsOf(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

}  // namespace

int main(int argc, char* argv[])
{
    // Copies are made in batches that hold files open: as many as may be.
    platform::RaiseOpenFileLimit();
    // Decided before any application object exists: the terminal's needs no
    // display, and the window's cannot be made without one.
    const QStringList arguments = ArgumentsOf(argc, argv);
    if (CommandLine::IsForTheTerminal(arguments))
        return CommandLine::RunOnTerminal(argc, argv);
    if (const int status = CommandLine::CheckBeforeWindow(arguments, CommandLine::DisplaySetting::FromEnvironment());
        status != 0)
        return status;
    // Qt warns at its start when it finds no runtime folder; it gets the one
    // this program uses, so that there is nothing to warn of.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        if (const QString folder = SingleInstance::DefaultFolder(); !folder.isEmpty())
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder));
    }

    FolderlyApplication application(argc, argv);
    // Qt has taken the window options it knows; anything left is a mistake.
    if (const int status = CommandLine::CheckWindowArguments(QCoreApplication::arguments()); status != 0)
        return status;
    SingleInstance instance(SingleInstance::DefaultFolder());
    if (!instance.Claim()) {
        // The copy that runs shows its window; this one has nothing to do.
        if (instance.AskFirstToShow())
            return 0;
        std::fprintf(stderr, "Folderly is running already but does not answer\n");
        return 1;
    }
    Program program(platform::ProgramFolderFromEnvironment());
    // Before the options are loaded: they may ask for runs on change.
    program.SetWatcherQuery([&instance] { return instance.WatcherRunning(); });
    TForm1 form(program);
    Lifecycle lifecycle(program);
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
    // The session ends the program: a run in progress stops after its copy,
    // then lists and options are saved. Nobody is there to read a message.
    program.SetStopQuery(&TerminationSignals::Requested);
    TerminationSignals::Watch(&form, [&lifecycle] {
        try {
            lifecycle.SaveForSessionEnd();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "Folderly: %s\n", error.what());
        }
        QCoreApplication::exit(0);
    });

    if (program.StartMinimized())
        form.StartInTray();
    else
        form.show();
    QObject::connect(&instance, &SingleInstance::ShowRequested, &form, [&form] { form.BringToFront(); });
    // "folderly --run" while the window is open: the window's copy runs, one
    // run at a time, and tells the asking copy what it did.
    instance.SetRunHandler([&program, &lifecycle](RunOutput& output) {
        return UnattendedRun::ForCommandLine(program, lifecycle, output);
    });
    instance.Listen();
    return application.exec();
}

#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <cstdio>
#include <optional>

#include "app/ConsoleOutput.h"
#include "app/FolderlyApplication.h"
#include "app/SingleInstance.h"
#include "app/TerminationSignals.h"
#include "app/UnattendedRun.h"
#include "platform/fs/ProgramFolder.h"

namespace {

const QString kRunOption = QStringLiteral("run");
const QString kReportOption = QStringLiteral("report");
const QString kWaitOption = QStringLiteral("wait");
const QString kWatchOption = QStringLiteral("watch");
// The names of every option of the program's own, with and without value.
const QStringList kTerminalOptions = {
    QStringLiteral("-h"),       QStringLiteral("--help"),    QStringLiteral("--help-all"),
    QStringLiteral("-v"),       QStringLiteral("--version"), QStringLiteral("--run"),
    QStringLiteral("--report"), QStringLiteral("--wait"),    QStringLiteral("--watch")};

// Parser and its options; the parse itself is the caller's.
struct Parser {
    Parser()
    {
        parser.setApplicationDescription(QString::fromUtf8(CommandLine::kDescription));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption({kRunOption, QString::fromUtf8(CommandLine::kRunDescription)});
        parser.addOption({kReportOption, QString::fromUtf8(CommandLine::kReportDescription), QStringLiteral("file")});
        parser.addOption({kWaitOption, QString::fromUtf8(CommandLine::kWaitDescription), QStringLiteral("seconds")});
        parser.addOption({kWatchOption, QString::fromUtf8(CommandLine::kWatchDescription)});
    }
    QCommandLineParser parser;
};

// The options that Qt takes from a window's command line (its application
// classes and its X11 platform); anything else is a mistake of the user's.
struct WindowParser : Parser {
    WindowParser()
    {
        // As Qt reads them: "-platform" is one option, not seven letters.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        for (const char* name : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                 "qwindowicon", "qwindowtitle", "session", "style", "stylesheet", "qmljsdebugger",
                                 "display", "geometry", "title", "icon", "name", "visual"})
            parser.addOption({QString::fromLatin1(name), QString(), QStringLiteral("value")});
        for (const char* name : {"reverse", "widgetcount", "testability", "sync", "cmap", "nograb", "dograb"})
            parser.addOption({QString::fromLatin1(name), QString()});
    }
};

int UsageError(const QString& text)
{
    std::fprintf(stderr, "folderly: %s\n%s\n%s\n", qPrintable(text), CommandLine::kUsageText,
                 CommandLine::kTryHelpText);
    return CommandLine::kUsageError;
}

// Whether one of the platforms Qt would try finds its display (or needs
// none); else what each of them missed.
bool DisplayFound(const QString& platforms, bool x11, bool wayland, QStringList& missing)
{
    QStringList names = platforms.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (names.isEmpty())
        names = {QStringLiteral("xcb"), QStringLiteral("wayland")};  // Qt's choice goes by the session
    for (const QString& entry : names) {
        const QString name = entry.section(QLatin1Char(':'), 0, 0).trimmed();  // options follow a ':'
        if (name == QLatin1String("xcb")) {
            if (x11)
                return true;
            missing << QStringLiteral("DISPLAY");
        } else if (name.startsWith(QLatin1String("wayland"))) {
            if (wayland)
                return true;
            missing << QStringLiteral("WAYLAND_DISPLAY");
        } else {
            return true;  // offscreen, vnc, eglfs and the like draw without a desktop
        }
    }
    missing.removeDuplicates();
    return false;
}

// What the asking copy says and exits with when the window's copy made no
// whole run for it.
int StatusOf(const SingleInstance::RunAnswer& answer, int waitSeconds, RunOutput& output)
{
    using End = SingleInstance::RunAnswer::End;
    switch (answer.end) {
    case End::Finished: return answer.status;
    case End::Busy:
        output.Message(QString::fromUtf8(CommandLine::kBusyText).arg(waitSeconds).toStdString());
        return UnattendedRun::kWindowBusy;
    case End::EndedDuringRun: output.Message(CommandLine::kEndedDuringRunText); return UnattendedRun::kSomeNotCopied;
    case End::NotReached: break;
    }
    output.Message(CommandLine::kNoAnswerText);
    return UnattendedRun::kNotRun;
}

// Opens the report file that --report names, if any; false when it cannot
// be (said).
bool OpenReport(ConsoleOutput& output, const QString& reportPath)
{
    if (reportPath.isEmpty())
        return true;
    try {
        output.AppendTo(QFile::encodeName(reportPath).toStdString());
        return true;
    } catch (const std::exception& error) {
        output.Message(CommandLine::kCouldNotOpenReportText + QFile::encodeName(reportPath).toStdString() + ": "
                       + error.what());
        return false;
    }
}

int Run(const QString& reportPath, int waitSeconds)
{
    ConsoleOutput output;
    if (!OpenReport(output, reportPath))
        return UnattendedRun::kNotRun;
    int status = UnattendedRun::kNotRun;
    SingleInstance instance(SingleInstance::DefaultFolder());
    if (instance.FirstCopyRunning()) {
        // A signal ends only the waiting: the window's copy finishes its run.
        status = StatusOf(instance.AskFirstToRun(output, std::chrono::seconds(waitSeconds)), waitSeconds, output);
    } else {
        // A signal (the timer's stop, Ctrl+C) ends the run after the copy in progress.
        TerminationSignals::Watch(QCoreApplication::instance(), [] {});
        status = UnattendedRun::FromStoredFiles(platform::ProgramFolderFromEnvironment(), output);
    }
    if (!output.AllWritten() && status == UnattendedRun::kAllCopied)
        status = UnattendedRun::kSomeNotCopied;
    return status;
}

int Watch(const QString& reportPath)
{
    ConsoleOutput output;
    if (!OpenReport(output, reportPath))
        return UnattendedRun::kNotRun;
    // Two watchers would make every run twice. The lock is taken before the
    // window is looked for: a window that starts meanwhile finds it and
    // leaves its runs on change to this one until it ends.
    SingleInstance instance(SingleInstance::DefaultFolder());
    if (!instance.ClaimWatcher()) {
        output.Message(CommandLine::kWatchingAlreadyText);
        return UnattendedRun::kNotRun;
    }
    if (instance.FirstCopyRunning()) {
        output.Message(CommandLine::kWindowWatchesText);
        return UnattendedRun::kNotRun;
    }
    const int status = UnattendedRun::Watching(platform::ProgramFolderFromEnvironment(), output);
    return status == UnattendedRun::kAllCopied && !output.AllWritten() ? UnattendedRun::kSomeNotCopied : status;
}

// The seconds --wait gives, the default without it; nothing when they are no
// whole number in range.
std::optional<int> WaitSeconds(const QCommandLineParser& parser)
{
    if (!parser.isSet(kWaitOption))
        return CommandLine::kDefaultWaitSeconds;
    bool ok = false;
    const int seconds = parser.value(kWaitOption).toInt(&ok);
    if (!ok || seconds < 0 || seconds > CommandLine::kLongestWaitSeconds)
        return std::nullopt;
    return seconds;
}

}  // namespace

namespace CommandLine {

bool IsForTheTerminal(const QStringList& arguments)
{
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            break;
        if (kTerminalOptions.contains(argument.section(QLatin1Char('='), 0, 0)))
            return true;
    }
    return false;
}

int RunOnTerminal(int& argc, char** argv)
{
    QCoreApplication application(argc, argv);
    FolderlyApplication::SetNames();
    Parser p;
    if (!p.parser.parse(application.arguments()))
        return UsageError(p.parser.errorText());
    if (p.parser.isSet(QStringLiteral("help")))
        p.parser.showHelp(0);
    if (p.parser.isSet(QStringLiteral("version")))
        p.parser.showVersion();
    if (!p.parser.positionalArguments().isEmpty())
        return UsageError(QString::fromUtf8(kUnexpectedArgumentText).arg(p.parser.positionalArguments().first()));
    if (p.parser.isSet(kWatchOption)) {
        if (p.parser.isSet(kRunOption) || p.parser.isSet(kWaitOption))
            return UsageError(QString::fromUtf8(kWatchAloneText));
        return Watch(p.parser.value(kReportOption));
    }
    if (!p.parser.isSet(kRunOption)) {
        const QString option = p.parser.isSet(kWaitOption) ? QStringLiteral("--wait") : QStringLiteral("--report");
        return UsageError(QString::fromUtf8(kGoesWithRunText).arg(option));
    }
    const std::optional<int> waitSeconds = WaitSeconds(p.parser);
    if (!waitSeconds)
        return UsageError(QString::fromUtf8(kBadWaitText).arg(p.parser.value(kWaitOption)));
    return Run(p.parser.value(kReportOption), *waitSeconds);
}

DisplaySetting DisplaySetting::FromEnvironment()
{
    DisplaySetting setting;
    setting.platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    setting.display = qEnvironmentVariable("DISPLAY");
    setting.waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    const QString runtimeFolder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    setting.waylandSocket = !runtimeFolder.isEmpty() && QFileInfo::exists(runtimeFolder + QStringLiteral("/wayland-0"));
    return setting;
}

int CheckBeforeWindow(const QStringList& arguments, const DisplaySetting& setting)
{
    WindowParser p;
    if (!p.parser.parse(arguments))
        return UsageError(p.parser.errorText());
    if (!p.parser.positionalArguments().isEmpty())
        return UsageError(QString::fromUtf8(kUnexpectedArgumentText).arg(p.parser.positionalArguments().first()));
    // The command line's choices go before the environment's, as in Qt.
    const QString platforms = p.parser.isSet(QStringLiteral("platform")) ? p.parser.value(QStringLiteral("platform"))
                                                                         : setting.platform;
    const bool x11 = !setting.display.isEmpty() || p.parser.isSet(QStringLiteral("display"));
    const bool wayland = !setting.waylandDisplay.isEmpty() || setting.waylandSocket;
    QStringList missing;
    if (DisplayFound(platforms, x11, wayland, missing))
        return 0;
    const QString text = QString::fromUtf8(kNoDesktopText).arg(missing.join(QStringLiteral(" and ")));
    std::fprintf(stderr, "folderly: %s\n", qPrintable(text));
    return kNoDesktop;
}

int CheckWindowArguments(const QStringList& arguments)
{
    Parser p;
    if (!p.parser.parse(arguments))
        return UsageError(p.parser.errorText());
    if (!p.parser.positionalArguments().isEmpty())
        return UsageError(QString::fromUtf8(kUnexpectedArgumentText).arg(p.parser.positionalArguments().first()));
    return 0;
}

}  // namespace CommandLine

#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <cstdio>

#include "app/ConsoleOutput.h"
#include "app/FolderlyApplication.h"
#include "app/SingleInstance.h"
#include "app/TerminationSignals.h"
#include "app/UnattendedRun.h"
#include "platform/fs/ProgramFolder.h"

namespace {

const QString kRunOption = QStringLiteral("run");
const QString kReportOption = QStringLiteral("report");
// The names of every option of the program's own, with and without value.
const QStringList kTerminalOptions = {
    QStringLiteral("-h"),        QStringLiteral("--help"), QStringLiteral("--help-all"), QStringLiteral("-v"),
    QStringLiteral("--version"), QStringLiteral("--run"),  QStringLiteral("--report")};

// Parser and its options; the parse itself is the caller's.
struct Parser {
    Parser()
    {
        parser.setApplicationDescription(QString::fromUtf8(CommandLine::kDescription));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption({kRunOption, QString::fromUtf8(CommandLine::kRunDescription)});
        parser.addOption({kReportOption, QString::fromUtf8(CommandLine::kReportDescription), QStringLiteral("file")});
    }
    QCommandLineParser parser;
};

int UsageError(const QString& text)
{
    std::fprintf(stderr, "folderly: %s\n%s\n", qPrintable(text), CommandLine::kTryHelpText);
    return CommandLine::kUsageError;
}

int Run(const QString& reportPath)
{
    ConsoleOutput output;
    if (!reportPath.isEmpty()) {
        try {
            output.AppendTo(QFile::encodeName(reportPath).toStdString());
        } catch (const std::exception& error) {
            output.Message(CommandLine::kCouldNotOpenReportText + QFile::encodeName(reportPath).toStdString() + ": "
                           + error.what());
            return UnattendedRun::kNotRun;
        }
    }
    int status = UnattendedRun::kNotRun;
    SingleInstance instance(SingleInstance::DefaultFolder());
    if (instance.FirstCopyRunning()) {
        // A signal ends only the waiting: the window's copy finishes its run.
        const std::optional<int> answer = instance.AskFirstToRun(output);
        if (!answer)
            output.Message(CommandLine::kNoAnswerText);
        status = answer.value_or(UnattendedRun::kNotRun);
    } else {
        // A signal (the timer's stop, Ctrl+C) ends the run after the copy in progress.
        TerminationSignals::Watch(QCoreApplication::instance(), [] {});
        status = UnattendedRun::FromStoredFiles(platform::ProgramFolderFromEnvironment(), output);
    }
    if (!output.ReportWritten() && status == UnattendedRun::kAllCopied)
        status = UnattendedRun::kSomeNotCopied;
    return status;
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
    if (!p.parser.isSet(kRunOption))
        return UsageError(QString::fromUtf8(kReportWithoutRunText));
    return Run(p.parser.value(kReportOption));
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

#include "app/ConsoleOutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "platform/FormatText.h"
#include "platform/PrintableText.h"
#include "platform/fs/FileError.h"
#include "platform/fs/FileSystem.h"
#include "platform/settings/LocaleTime.h"

namespace {

// Prefix of the program's messages on standard error.
const char* const kMessagePrefix = "Folderly: ";

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Why the report file could not be opened, in words a user can act on: the
// runtime's texts say "Invalid filename" for a missing folder.
platform::EInOutError OpenError(int error, const std::string& reportPath)
{
    struct stat st {};
    if (error == ENXIO && ::stat(reportPath.c_str(), &st) == 0 && S_ISFIFO(st.st_mode))
        return {error, kNoReaderText};
    if (error == EISDIR)
        return {error, kIsAFolderText};
    if (error == platform::kPathThroughLinkOfAnotherUser)
        return {error, kLinkOfAnotherUserText};
    if (error == ENOENT || error == ENOTDIR) {
        const std::string folder = FolderOf(reportPath);
        if (::stat(folder.c_str(), &st) != 0)
            return {error, platform::FormatText(kNoSuchFolderText, {folder})};
        if (!S_ISDIR(st.st_mode))
            return {error, platform::FormatText(kNoFolderText, {folder})};
    }
    return platform::EInOutError::FromErrnoAtPath(error, reportPath);
}

}  // namespace

ConsoleOutput::ConsoleOutput()
{
    std::signal(SIGPIPE, SIG_IGN);
}

ConsoleOutput::~ConsoleOutput()
{
    if (m_report >= 0)
        ::close(m_report);
}

void ConsoleOutput::AppendTo(const std::string& reportPath)
{
    int report = -1;
    if (const int error = platform::OpenFollowingTrustedLinks(
            reportPath, O_WRONLY | O_APPEND | O_CREAT | O_NOCTTY | O_NONBLOCK, 0666, report))
        throw OpenError(error, reportPath);
    // A reader that is slow to take the lines is no failure: writes wait for it.
    ::fcntl(report, F_SETFL, ::fcntl(report, F_GETFL) & ~O_NONBLOCK);
    m_report = report;
    m_reportPath = reportPath;
}

void ConsoleOutput::Print(const std::string& line)
{
    if (m_outputClosed)
        return;
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    // A pipe or a log sees each line when it is added, not at the end.
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return;
    m_outputClosed = true;
    Message(kOutputClosedText);
}

void ConsoleOutput::Line(const std::string& line)
{
    Print(line);
    if (m_report < 0 || m_reportFailed)
        return;
    if (!m_headerWritten) {
        Append(platform::ReportHeaderLine());
        m_headerWritten = true;
    }
    Append(line);
}

void ConsoleOutput::Message(const std::string& text)
{
    // Messages name files and folders too; Report lines come escaped already.
    std::fprintf(stderr, "%s%s\n", kMessagePrefix, platform::PrintableText(text).c_str());
}

void ConsoleOutput::Append(const std::string& line)
{
    // One write per line: O_APPEND puts it whole after whatever is there.
    const std::string bytes = line + "\r\n";
    std::size_t done = 0;
    while (done < bytes.size() && !m_reportFailed) {
        const ssize_t written = ::write(m_report, bytes.data() + done, bytes.size() - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else {
            // A short write of nothing is a full disk, as for every file of the program.
            const int error = written < 0 ? errno : ENOSPC;
            m_reportFailed = true;
            Message(kCouldNotAppendText + m_reportPath + ": " + platform::EInOutError::FromErrno(error).what());
        }
    }
}

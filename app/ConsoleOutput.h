#pragma once

#include <string>

#include "app/RunOutput.h"

// The message of a line that could not be appended; the path and the cause follow.
inline constexpr char kCouldNotAppendText[] = "could not append to ";
// Why a pipe is refused as the report file: nothing reads from it, and the
// run would wait for a reader before it began.
inline constexpr char kNoReaderText[] = "nothing reads from this pipe";
// Why the report file cannot be opened where its folder is missing or is
// none (the folder follows or comes first), or where it is a folder itself.
inline constexpr char kNoSuchFolderText[] = "the folder %s does not exist";
inline constexpr char kNoFolderText[] = "%s is not a folder";
inline constexpr char kIsAFolderText[] = "it is a folder";
// Why a report file reached through another user's link is refused: the
// run's lines (and, for root, root's rights) would go where they chose.
inline constexpr char kLinkOfAnotherUserText[] =
    "it, or a folder on the way to it, is a link of another user and is not followed";
// Said once when standard output closes (a pager quit, "| head"): the run
// goes on, and its other lines go only where they still can.
inline constexpr char kOutputClosedText[] = "standard output was closed; the run went on without printing its lines";

// A run's output on the terminal: Report lines on standard output, messages
// on standard error, each as soon as it comes. With a report file, the lines
// are also appended to it: the first under a line with the date and time
// (as "Save Report" heads its file), each with CR LF, in the order they came.
// An output that closes never ends the run: it is written to no more.
class ConsoleOutput : public RunOutput {
public:
    // A closed pipe fails the write that meets it (EPIPE) instead of ending
    // the program by SIGPIPE.
    ConsoleOutput();
    ~ConsoleOutput() override;
    ConsoleOutput(const ConsoleOutput&) = delete;
    ConsoleOutput& operator=(const ConsoleOutput&) = delete;

    // Opens the report file for appending (creating it when missing), never
    // waiting: a pipe that nothing reads is refused, and so is a link of
    // another user, on the way or at the path. Throws
    // platform::EInOutError when it cannot be opened; nothing is written yet.
    void AppendTo(const std::string& reportPath);

    void Line(const std::string& line) override;
    void Message(const std::string& text) override;

    // Whether every line reached standard output and the report file; a
    // failure is said once.
    bool AllWritten() const { return !m_reportFailed && !m_outputClosed; }

private:
    void Append(const std::string& line);
    void Print(const std::string& line);

    std::string m_reportPath;
    int m_report = -1;
    bool m_headerWritten = false;
    bool m_reportFailed = false;
    bool m_outputClosed = false;
};

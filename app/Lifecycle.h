#pragma once

#include <functional>
#include <string>

class FolderList;
class Program;

// The list files in the program folder.
inline constexpr char kList1FileName[] = "List1.txt";
inline constexpr char kList2FileName[] = "List2.txt";

// Messages of a start or close step that failed on a file; the first %s is
// the file's path, the second the cause.
inline constexpr char kCouldNotLoadFormat[] = "Could not load %s: %s";
inline constexpr char kCouldNotSaveFormat[] = "Could not save %s: %s";

// A list file the start could not read is moved aside under its name and
// this before the close first replaces it (never over another file), and the
// Report list says where.
inline constexpr char kUnreadListSuffix[] = ".unread";
inline constexpr char kUnreadListKeptLine[] = "The list file that could not be read at the start was kept as ";

// Why the window makes no run for the command line: %s is the list file's
// path; or the option names and the settings file's path.
inline constexpr char kListStandsInFormat[] = "the running copy of Folderly could not read %s at its start and makes "
                                              "no run from the command line until its window is closed";
inline constexpr char kOptionsStandInFormat[] = "the running copy of Folderly could not read %s in %s at its start "
                                                "and makes no run from the command line until its options are saved";

// The program's start and close: where the lists,
// the options and the Report list's first lines come from, and in which
// order everything is written back. It remembers what the start could not
// read, so that the close never writes over it what was never loaded.
class Lifecycle {
public:
    explicit Lifecycle(Program& program) : m_program(program) {}

    // The creation handler: program folder, lists, option store, legacy
    // import, "v1.3", options. A step that fails shows its message, naming
    // the file and the cause, and the steps after it still run.
    void FormCreate();

    // The close handler's saving: lists, then options. An error is shown and
    // false returned: the window stays and the program keeps running.
    bool FormClose();

    // The desktop session ends the program without closing its window: the
    // close's saving runs all the same. Throws on failure.
    void SaveForSessionEnd();

    // Why a run for the command line must not be made now: a list or an
    // option the start could not read is still stood in for by what the
    // window shows, and a run would work on that instead of what is stored.
    // Empty when the run may be made.
    std::string WhyNoRunForTheCommandLine() const;

private:
    // Runs one start-up step on one file; false when it failed (and said so).
    bool LoadStep(const std::string& path, const std::function<void()>& step);
    void SaveAll();
    void SaveList(const FolderList& list, const std::string& path, bool& unread);

    Program& m_program;
    // The list files the start could not read: the close leaves them as they
    // are unless the user has given that list entries since.
    bool m_list1Unread = false;
    bool m_list2Unread = false;
};

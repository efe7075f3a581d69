// Measuring tool: performs one complete silent run (pre-count and body)
// over folder lists given on the command line and prints what it did and
// how long it took. Not a second user interface: no options are stored,
// no list files are touched.
//
//   folderly_bench (files|folders) [--all-files] [--ext EXT] [--keep-replaced] [--memory FILE] [--report]
//                  [--count-only [--details]] --list1 DIR... --list2 DIR...
//
// --memory keeps the runs' memory in FILE (without it, runs remember
// nothing); --report prints the Report list's lines after the counts.
// --count-only makes the pre-count alone, and with --details also the
// lines a confirmation shows.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "lists/FolderList.h"
#include "platform/state/PairMemory.h"
#include "sync/ReportList.h"
#include "sync/RunEvents.h"
#include "sync/RunPlan.h"
#include "sync/RunState.h"
#include "sync/Synchronizer.h"

namespace {

using Clock = std::chrono::steady_clock;

// Hears of the run: its records become the Report list's lines, and the
// time of its first progress step is kept.
class SilentRun : public RunEvents {
public:
    explicit SilentRun(ReportList& report) : m_report(report) {}
    // The first progress step comes after the body's first entry: until
    // then the run was counting, and working on that one entry.
    void Progressed(int) override
    {
        if (!firstStep)
            firstStep = Clock::now();
    }
    void Recorded(const RunRecord& record) override { m_report.Append(record.Line()); }
    bool Confirm(const std::string& /*text*/, const RunPlan& /*plan*/) override { return true; }
    std::optional<Clock::time_point> firstStep;

private:
    ReportList& m_report;
};

int Usage()
{
    std::fprintf(stderr,
                 "usage: folderly_bench (files|folders) [--all-files] [--ext EXT] [--keep-replaced] [--memory FILE] "
                 "[--report] [--count-only [--details]] --list1 DIR... --list2 DIR...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    int mode;
    if (std::strcmp(argv[1], "files") == 0)
        mode = 0;
    else if (std::strcmp(argv[1], "folders") == 0)
        mode = 1;
    else
        return Usage();

    RunState state;
    RunOptionValues options;
    FolderList list1, list2;
    FolderList* filling = nullptr;
    bool printReport = false;
    bool countOnly = false;
    bool details = false;
    std::string memoryFile;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--all-files")
            options.SearchAttr = 63;
        else if (arg == "--keep-replaced")
            options.KeepReplaced = 1;
        else if (arg == "--report")
            printReport = true;
        else if (arg == "--count-only")
            countOnly = true;
        else if (arg == "--details")
            details = true;
        else if (arg == "--ext" && i + 1 < argc)
            options.SearchExt = argv[++i];
        else if (arg == "--memory" && i + 1 < argc)
            memoryFile = argv[++i];
        else if (arg == "--list1")
            filling = &list1;
        else if (arg == "--list2")
            filling = &list2;
        else if (filling)
            filling->Add(arg);
        else
            return Usage();
    }

    ReportList report;
    SilentRun run(report);
    Synchronizer sync(state, list1, list2, run);
    std::optional<platform::PairMemory> memory;
    if (!memoryFile.empty()) {
        memory.emplace(memoryFile);
        sync.SetMemory(&*memory);
    }
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    const Synchronizer::Mode runMode = mode == 0 ? Synchronizer::Mode::Files : Synchronizer::Mode::Folders;
    if (countOnly) {
        RunPlan plan;
        std::int32_t count = 0;
        const auto start = Clock::now();
        sync.CountCopies(runMode, Synchronizer::Scope::All, options, count, details ? &plan : nullptr);
        // The text the confirmation is given is part of its cost.
        const std::string text = details ? plan.Text() : std::string();
        const auto end = Clock::now();
        std::printf("count %d, planned %lld, detail bytes %zu, wall %.6f s\n", count,
                    static_cast<long long>(plan.Count()), text.size(), seconds(end - start));
        return 0;
    }
    const auto start = Clock::now();
    sync.Run(runMode, Synchronizer::Scope::All, options);
    const auto end = Clock::now();

    std::printf("mode %s, folders %d x %d\n", mode == 0 ? "files" : "folders", list1.Count(), list2.Count());
    std::printf("TotalCount %d, ProgressCount %d, report lines %d, FailFlag %d, kept %d\n", state.TotalCount,
                state.ProgressCount, report.Count(), state.FailFlag, state.Tally.kept);
    if (run.firstStep)
        std::printf("wall %.6f s (pre-count and first entry %.6f s, the rest %.6f s)\n", seconds(end - start),
                    seconds(*run.firstStep - start), seconds(end - *run.firstStep));
    else
        std::printf("wall %.6f s (no body)\n", seconds(end - start));
    if (printReport) {
        for (const std::string& line : report.Lines())
            std::printf("%s\n", line.c_str());
    }
    return state.FailFlag ? 1 : 0;
}

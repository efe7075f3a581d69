// Measuring tool for runs that follow changes ("Run on change"), on the
// program without its window and with its real quiet while of 10 seconds:
//
//   folderly_watch_bench FOLDERS FILES [IDLE_SECONDS] [WORK_FOLDER]
//
// makes FOLDERS folders of FILES files on each side, in step, watches them
// in folders mode and prints, one line each: the watches held and the
// memory; the CPU time used over IDLE_SECONDS (60) with nothing changing;
// the time from one file changed in one folder to its copy on the other
// side; a run over the changed folder's name beside a full run of the same
// lists; and how many runs a burst of 10,000 writes gives.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "core/Program.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Resident memory in KiB.
long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
    }
    return -1;
}

void Write(const fs::path& path, const std::string& content, fs::file_time_type time)
{
    std::ofstream(path, std::ios::binary) << content;
    fs::last_write_time(path, time);
}

// Handles events until done() holds or limit passes; the time it took.
double Until(const std::function<bool()>& done, std::chrono::seconds limit)
{
    const auto start = Clock::now();
    while (!done() && Clock::now() - start < limit)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Timed(const std::function<void()>& work)
{
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: folderly_watch_bench FOLDERS FILES [IDLE_SECONDS] [WORK_FOLDER]\n");
        return 2;
    }
    QCoreApplication application(argc, argv);
    const int folders = std::atoi(argv[1]);
    const int files = std::atoi(argv[2]);
    const int idleSeconds = argc > 3 ? std::atoi(argv[3]) : 60;
    const fs::path work = fs::path(argc > 4 ? argv[4] : fs::temp_directory_path().string()) / "folderly-watch-bench";
    fs::remove_all(work);
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 30);
    for (const char* side : {"a", "b"}) {
        for (int d = 0; d < folders; ++d) {
            const fs::path folder = work / side / ("d" + std::to_string(d));
            fs::create_directories(folder);
            for (int f = 0; f < files; ++f)
                Write(folder / ("f" + std::to_string(f)), "content " + std::to_string(f), old);
        }
    }
    fs::create_directories(work / "home");
    std::ofstream(work / "home/Folderly.conf") << "[General]\nSynchroMode=int:1\nSilentMode=int:1\nRunOnChange=int:1\n";
    Program program((work / "home/").string(), (work / "home/Folderly.conf").string(),
                    (work / "home/autostart").string());
    for (int d = 0; d < folders; ++d) {
        program.List1().Add((work / "a" / ("d" + std::to_string(d))).string());
        program.List2().Add((work / "b" / ("d" + std::to_string(d))).string());
    }
    program.Store().OpenKey(false);
    program.Options().LoadOptions();
    program.Store().CloseKey();
    ChangeRuns& changes = program.Changes();
    std::printf("%d folders of %d files on each side: %zu watches, %ld KiB resident\n", folders, files,
                changes.WatchCount(), ResidentKiB());

    // Idle: nothing changes, and nothing may be read.
    const double cpuBefore = CpuSeconds();
    QTimer::singleShot(idleSeconds * 1000, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    std::printf("idle for %d s: %.3f s of CPU, %d runs\n", idleSeconds, CpuSeconds() - cpuBefore, changes.RunsAsked());

    // The first change gives a full run (nothing was known before it).
    const auto now = fs::file_time_type::clock::now();
    Write(work / "a/d0/first", "first", now);
    Until([&] { return fs::exists(work / "b/d0/first") && !program.Running(); }, std::chrono::seconds(120));
    Until([] { return false; }, std::chrono::seconds(1));

    // One file changed in one folder: in step after the quiet while and a run.
    const std::string middle = "d" + std::to_string(folders / 2);
    Write(work / "a" / middle / "f0", "changed", now);
    const double latency = Until(
        [&] {
            std::ifstream in(work / "b" / middle / "f0");
            std::string content;
            std::getline(in, content);
            return content == "changed";
        },
        std::chrono::seconds(120));
    std::printf("one file changed in one of %d folders: in step after %.2f s (quiet while 10 s)\n", folders, latency);

    // The run that change made, beside a full run of the same lists.
    const std::set<std::string> only{middle};
    const RunOptionValues options = program.Options().RunValues();
    const double limited = Timed(
        [&] { program.Sync().Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All, options, &only); });
    const double full = Timed(
        [&] { program.Sync().Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All, options); });
    std::printf("a run over the changed folder: %.4f s; a full run: %.3f s (%.0f times as long)\n", limited, full,
                full / limited);

    // A burst of writes: one run, after it.
    const int runsBefore = changes.RunsAsked();
    for (int i = 0; i < 10000; ++i)
        Write(work / "a/d1" / ("f" + std::to_string(i % files)), "burst " + std::to_string(i),
              now + std::chrono::seconds(1 + i));
    Until([&] { return changes.RunsAsked() > runsBefore && !changes.RunPending(); }, std::chrono::seconds(120));
    Until([] { return false; }, std::chrono::seconds(12));
    std::printf("a burst of 10000 writes: %d run(s)\n", changes.RunsAsked() - runsBefore);
    fs::remove_all(work);
    return 0;
}

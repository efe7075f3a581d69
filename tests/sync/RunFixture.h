#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "TempDir.h"
#include "lists/FolderList.h"
#include "sync/RunEvents.h"
#include "sync/RunPlan.h"
#include "sync/RunRecord.h"
#include "sync/RunState.h"
#include "sync/Synchronizer.h"

// Collects what a run tells (the engine's events and records, in order) and
// answers its confirmation; it also holds what the caller gives a run: the
// Synchro mode and the options.
class RunSpy : public RunEvents {
public:
    void Started() override { events.push_back("started"); }
    void Counted(std::int32_t copies) override { events.push_back("counted " + std::to_string(copies)); }
    void Progressed(int percent) override { progress.push_back(percent); }
    void Recorded(const RunRecord& record) override { records.push_back(record); }
    void Finished(bool completed, const RunTally& runTally) override
    {
        events.push_back(completed ? "finished" : "finished, not completed");
        tally = runTally;
    }
    bool Confirm(const std::string& text, const RunPlan& runPlan) override
    {
        events.push_back("confirm " + text);
        plan = runPlan.Text();
        if (duringConfirm)
            duringConfirm();
        return confirmAnswer;
    }

    int Count(const std::string& prefix) const
    {
        int n = 0;
        for (const auto& e : events)
            n += e.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }
    // The run of the Synchro mode index mode (0 files, else folders).
    Synchronizer::Mode Mode() const { return mode == 0 ? Synchronizer::Mode::Files : Synchronizer::Mode::Folders; }

    std::vector<std::string> events;
    // The details of the last confirmation.
    std::string plan;
    std::vector<int> progress;
    std::vector<RunRecord> records;
    RunTally tally;
    int mode = 0;
    RunOptionValues options;  // Silent Mode, as the panel starts
    bool confirmAnswer = true;
    std::function<void()> duringConfirm;
};

// Records as a run makes them, for tests to expect.
using Records = std::vector<RunRecord>;
inline RunRecord Updated(const std::string& path, const std::string& note = {})
{
    return {RunRecord::Kind::Updated, path, {}, note};
}
inline RunRecord Copied(const std::string& name, const std::string& folder)
{
    return {RunRecord::Kind::Copied, name, folder};
}
inline RunRecord ReadOnly(const std::string& path)
{
    return {RunRecord::Kind::ReadOnly, path};
}
inline RunRecord NotUpdated(const std::string& path, const std::string& reason)
{
    return {RunRecord::Kind::NotUpdated, path, {}, reason};
}
inline RunRecord NotCopied(const std::string& name, const std::string& folder, const std::string& reason)
{
    return {RunRecord::Kind::NotCopied, name, folder, reason};
}
inline RunRecord LinkOfAnotherUser(const std::string& path)
{
    return {RunRecord::Kind::LinkOfAnotherUser, path};
}
inline RunRecord NotFullPath(const std::string& text)
{
    return {RunRecord::Kind::NotFullPath, text};
}
inline RunRecord NotThere(const std::string& text, const std::string& reason = {})
{
    return {RunRecord::Kind::NotThere, text, {}, reason};
}
// A record reads as its Report line in a test's failure.
inline void PrintTo(const RunRecord& record, std::ostream* out)
{
    *out << record.Line();
}

// Two lists, a spy whose options are in Silent Mode, and folders in a temporary folder.
class RunFixture : public ::testing::Test {
protected:
    RunFixture() : sync(state, list1, list2, spy) {}

    // A run as the program starts one: of the mode given, or of the spy's
    // Synchro mode, with the spy's options.
    void Run(Synchronizer::Mode mode, Synchronizer::Scope scope) { sync.Run(mode, scope, spy.options); }
    void RunByMode(Synchronizer::Scope scope) { Run(spy.Mode(), scope); }
    void CountCopies(Synchronizer::Mode mode, Synchronizer::Scope scope, std::int32_t& count)
    {
        sync.CountCopies(mode, scope, spy.options, count);
    }

    // Makes a folder under the temporary folder and returns its path.
    std::string Folder(const std::string& relative)
    {
        const std::string path = tmp / relative;
        for (size_t i = 0; i <= relative.size(); ++i) {
            if (i == relative.size() || relative[i] == '/')
                ::mkdir((tmp / relative.substr(0, i)).c_str(), 0755);
        }
        return path;
    }
    // Writes a file with content and a last-write time.
    static void File(const std::string& path, const std::string& content, long long mtime)
    {
        WriteFile(path, content);
        SetMTime(path, mtime);
    }
    const Records& Recorded() const { return spy.records; }

    TempDir tmp;
    RunState state;
    FolderList list1;
    FolderList list2;
    RunSpy spy;
    Synchronizer sync;
};

// Fixed times, far enough apart to differ in the two-second packed format.
inline constexpr long long kOld = 1600000000;  // 2020
inline constexpr long long kMid = 1650000000;  // 2022
inline constexpr long long kNew = 1700000000;  // 2023

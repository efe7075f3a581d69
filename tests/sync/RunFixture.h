#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "TempDir.h"
#include "lists/FolderList.h"
#include "sync/ReportList.h"
#include "sync/RunHost.h"
#include "sync/RunState.h"
#include "sync/Synchronizer.h"

// A window stand-in that records what a run asks of it.
class RecordingHost : public RunHost {
public:
    void RequestBalloon(const std::string& text, const std::string& title, TBalloonIconType icon) override
    {
        events.push_back("balloon " + text + "|" + title + "|" + std::to_string(icon));
    }
    void SetSynchronizeSelectedVisible(bool visible) override
    {
        events.push_back(std::string("selected ") + (visible ? "shown" : "hidden"));
    }
    void SetSynchronizeAllVisible(bool visible) override
    {
        events.push_back(std::string("all ") + (visible ? "shown" : "hidden"));
    }
    void SetGaugeVisible(bool visible) override
    {
        events.push_back(std::string("gauge ") + (visible ? "shown" : "hidden"));
    }
    void SetGaugeProgress(int percent) override { progress.push_back(percent); }
    int SynchroModeIndex() const override { return mode; }
    RunOptionValues RunValues() const override { return options; }
    bool Confirm(const std::string& text) override
    {
        events.push_back("confirm " + text);
        if (duringConfirm)
            duringConfirm();
        return confirmAnswer;
    }
    void ShowMessage(const std::string& text) override { events.push_back("message " + text); }

    int Count(const std::string& prefix) const
    {
        int n = 0;
        for (const auto& e : events)
            n += e.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }

    std::vector<std::string> events;
    std::vector<int> progress;
    int mode = 0;
    RunOptionValues options;  // Silent Mode, as the panel starts
    bool confirmAnswer = true;
    std::function<void()> duringConfirm;
};

// Two lists, a host whose options are in Silent Mode, and folders in a temporary folder.
class RunFixture : public ::testing::Test {
protected:
    RunFixture() : sync(state, report, list1, list2, host) {}

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
    const std::vector<std::string>& Lines() const { return report.Lines(); }

    TempDir tmp;
    RunState state;
    ReportList report;
    FolderList list1;
    FolderList list2;
    RecordingHost host;
    Synchronizer sync;
};

// Fixed times, far enough apart to differ in the two-second packed format.
inline constexpr long long kOld = 1600000000;  // 2020
inline constexpr long long kMid = 1650000000;  // 2022
inline constexpr long long kNew = 1700000000;  // 2023

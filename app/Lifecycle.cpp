#include "app/Lifecycle.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "core/Program.h"
#include "lists/FolderList.h"
#include "lists/ListFile.h"
#include "options/LegacyOptionImport.h"
#include "options/OptionsLogic.h"
#include "platform/FormatText.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/TextFile.h"
#include "sync/ReportFile.h"
#include "ui/ErrorReport.h"

namespace {

// The message of a step that failed on a file: the format's two %s are the
// path and the cause.
std::runtime_error OnFile(const char* format, const std::string& path, const std::exception& cause)
{
    return std::runtime_error(platform::FormatText(format, {path, cause.what()}));
}

template <typename Step> void Saving(const std::string& path, Step step)
{
    try {
        step();
    } catch (const std::exception& error) {
        throw OnFile(kCouldNotSaveFormat, path, error);
    }
}

}  // namespace

// A list whose file the start could not read is still empty unless the
// user gave it entries: then its file stays as it is. Once it has entries,
// the file is moved aside before it is first replaced.
void Lifecycle::SaveList(const FolderList& list, const std::string& path, bool& unread)
{
    if (unread && list.Count() == 0)
        return;
    Saving(path, [&] {
        std::error_code ignored;
        if (unread && std::filesystem::exists(std::filesystem::symlink_status(path, ignored))) {
            m_program.Report().Append(kUnreadListKeptLine + platform::MoveAside(path, kUnreadListSuffix));
        }
        // Aside, the file is safe: the list is the one to keep from now on.
        unread = false;
        SaveListFile(list, path);
    });
}

std::string Lifecycle::WhyNoRunForTheCommandLine() const
{
    const std::string& folder = m_program.ProgramFolder();
    if (m_list1Unread || m_list2Unread)
        return platform::FormatText(kListStandsInFormat, {folder + (m_list1Unread ? kList1FileName : kList2FileName)});
    const std::vector<std::string> names = m_program.Options().UnreadValues();
    if (names.empty())
        return std::string();
    std::string joined = names.front();
    for (std::size_t i = 1; i < names.size(); ++i)
        joined += ", " + names[i];
    return platform::FormatText(kOptionsStandInFormat, {joined, m_program.Store().FilePath()});
}

bool Lifecycle::LoadStep(const std::string& path, const std::function<void()>& step)
{
    try {
        step();
        return true;
    } catch (const std::exception& error) {
        ReportException(OnFile(kCouldNotLoadFormat, path, error));
        return false;
    }
}

void Lifecycle::FormCreate()
{
    const std::string& folder = m_program.ProgramFolder();
    // Every missing level: on a fresh account even ~/.local/share may be absent.
    platform::ForceDirectories(folder);
    platform::SetCurrentDir(folder);
    const std::string list1 = folder + kList1FileName;
    const std::string list2 = folder + kList2FileName;
    m_list1Unread = !LoadStep(list1, [&] { LoadListFile(m_program.List1(), list1); });
    m_list2Unread = !LoadStep(list2, [&] { LoadListFile(m_program.List2(), list2); });
    platform::SettingsStore& store = m_program.Store();
    store.OpenKey(true);
    const std::string legacy = folder + kLegacyOptionFileName;
    LoadStep(legacy, [&] {
        ImportLegacyOptions(legacy, store, [this](const std::string& line) { m_program.Report().Append(line); });
    });
    m_program.Report().Append(kVersionReportLine);
    LoadStep(store.FilePath(), [&] { m_program.Options().LoadOptions(); });
    store.CloseKey();
}

void Lifecycle::SaveAll()
{
    const std::string& folder = m_program.ProgramFolder();
    // Add Path may have moved the current folder.
    platform::SetCurrentDir(folder);
    SaveList(m_program.List1(), folder + kList1FileName, m_list1Unread);
    SaveList(m_program.List2(), folder + kList2FileName, m_list2Unread);
    Saving(m_program.Store().FilePath(), [&] { m_program.Options().SaveAtClose(); });
}

bool Lifecycle::FormClose()
{
    try {
        SaveAll();
    } catch (const std::exception& error) {
        ReportException(error);
        return false;
    }
    return true;
}

void Lifecycle::SaveForSessionEnd()
{
    SaveAll();
}

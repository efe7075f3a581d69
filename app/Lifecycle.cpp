#include "app/Lifecycle.h"

#include "lists/ListFile.h"
#include "options/LegacyOptionImport.h"
#include "platform/FileSystem.h"
#include "sync/ReportFile.h"
#include "ui/ErrorReport.h"
#include "ui/Unit1.h"

namespace {

const char* const kList1File = "List1.txt";
const char* const kList2File = "List2.txt";

}  // namespace

namespace Lifecycle {

void FormCreate(TForm1& form)
{
    const std::string& folder = form.ProgramFolder();
    // Every missing level: on a fresh account even ~/.local/share may be absent.
    platform::ForceDirectories(folder);
    platform::SetCurrentDir(folder);
    LoadListFile(form.List1(), folder + kList1File);
    LoadListFile(form.List2(), folder + kList2File);
    platform::SettingsStore& store = form.Store();
    store.OpenKey(true);
    try {
        ImportLegacyOptions(folder + kLegacyOptionFileName, store, form.Report());
        form.Report().Append(kVersionReportLine);
        form.Options().LoadOptions();
    } catch (...) {
        store.CloseKey();
        throw;
    }
    store.CloseKey();
}

void SaveForSessionEnd(TForm1& form)
{
    const std::string& folder = form.ProgramFolder();
    SaveListFile(form.List1(), folder + kList1File);
    SaveListFile(form.List2(), folder + kList2File);
    form.BitBtn8Click();
}

bool FormClose(TForm1& form)
{
    try {
        const std::string& folder = form.ProgramFolder();
        platform::SetCurrentDir(folder);
        SaveListFile(form.List1(), folder + kList1File);
        SaveListFile(form.List2(), folder + kList2File);
        form.BitBtn8Click();
    } catch (const std::exception& error) {
        ReportException(error);
        return false;
    }
    return true;
}

}  // namespace Lifecycle

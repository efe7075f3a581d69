#include "options/LegacyOptionImport.h"

#include "options/IntegerText.h"
#include "options/OptionNames.h"
#include "platform/FileSystem.h"
#include "platform/SettingsStore.h"
#include "platform/TextFile.h"
#include "sync/ReportList.h"

#include <vector>

namespace {

constexpr std::size_t kIgnoredHeaderChars = 10;
constexpr char kLegacyVersion[] = "1.2";

}  // namespace

void ImportLegacyOptions(const std::string& path, platform::SettingsStore& store, ReportList& report)
{
    using namespace OptionNames;

    if (!platform::FileExists(path))
        return;

    // Lines past the end of a short file read as empty texts.
    const std::vector<std::string> lines = platform::ReadTextLines(path);
    auto line = [&lines](std::size_t number) {
        return number <= lines.size() ? lines[number - 1] : std::string();
    };

    const std::string header = line(1);
    const std::string version = header.size() > kIgnoredHeaderChars ? header.substr(kIgnoredHeaderChars) : std::string();

    if (!store.ValueExists(kVersion))
        store.WriteString(kVersion, kVersionText);
    // Appended before the version is looked at: also a file of another
    // version counts as found.
    report.Append(kLegacyFoundLine);

    if (version == kLegacyVersion) {
        auto importInteger = [&](const char* name, std::size_t number) {
            if (!store.ValueExists(name))
                store.WriteInteger(name, StrToInt(line(number)));
        };
        importInteger(kSynchroMode, 2);
        importInteger(kFileType, 3);
        importInteger(kFilter, 4);
        if (!store.ValueExists(kExt))
            store.WriteString(kExt, line(5));
        importInteger(kTimer, 6);
        importInteger(kTimerInterval, 7);
        // The action line is converted even when the value is kept, so a
        // bad action line stops the import either way.
        const std::int32_t timerAction = StrToInt(line(8));
        if (!store.ValueExists(kTimerAction))
            store.WriteInteger(kTimerAction, timerAction);
        importInteger(kSilentMode, 9);
        importInteger(kTrayMode, 10);
    }

    if (store.KeyExists()) {
        // Whether the file could be deleted is not looked at.
        platform::DeleteFile(path);
        report.Append(kLegacyDeletedLine);
    }
}

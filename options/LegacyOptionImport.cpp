#include "options/LegacyOptionImport.h"

#include "options/IntegerText.h"
#include "options/OptionNames.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/TextFile.h"
#include "platform/settings/SettingsStore.h"

#include <optional>
#include <vector>

namespace {

constexpr std::size_t kIgnoredHeaderChars = 10;
constexpr char kLegacyVersion[] = "1.2";

}  // namespace

void ImportLegacyOptions(const std::string& path, platform::SettingsStore& store,
                         const std::function<void(const std::string& line)>& appendLine)
{
    using namespace OptionNames;

    if (!platform::FileExists(path))
        return;

    // Lines past the end of a short file read as empty texts.
    const std::vector<std::string> lines = platform::ReadTextLines(path);
    auto line = [&lines](std::size_t number) { return number <= lines.size() ? lines[number - 1] : std::string(); };

    const std::string header = line(1);
    const std::string version = header.size() > kIgnoredHeaderChars ? header.substr(kIgnoredHeaderChars)
                                                                    : std::string();

    if (!store.ValueExists(kVersion))
        store.WriteString(kVersion, kVersionText);
    // Appended before the version is looked at: also a file of another
    // version counts as found.
    appendLine(kLegacyFoundLine);

    std::vector<std::string> badLines;
    // The value of a number line, or nothing when the line is no integer.
    auto integer = [&](std::size_t number) -> std::optional<std::int32_t> {
        try {
            return StrToInt(line(number));
        } catch (const EConvertError& error) {
            badLines.push_back("line " + std::to_string(number) + ": " + error.what());
            return std::nullopt;
        }
    };
    if (version == kLegacyVersion) {
        auto importInteger = [&](const char* name, std::size_t number) {
            if (store.ValueExists(name))
                return;
            if (const auto value = integer(number))
                store.WriteInteger(name, *value);
        };
        importInteger(kSynchroMode, 2);
        importInteger(kFileType, 3);
        importInteger(kFilter, 4);
        if (!store.ValueExists(kExt))
            store.WriteString(kExt, line(5));
        importInteger(kTimer, 6);
        importInteger(kTimerInterval, 7);
        // The action line is converted even when the value is kept.
        const auto timerAction = integer(8);
        if (timerAction && !store.ValueExists(kTimerAction))
            store.WriteInteger(kTimerAction, *timerAction);
        importInteger(kSilentMode, 9);
        importInteger(kTrayMode, 10);
    }

    if (!badLines.empty()) {
        const std::string keptAs = platform::MoveAside(path, kLegacyKeptSuffix);
        appendLine(kLegacyKeptLine + keptAs);
        std::string message = badLines.front();
        for (std::size_t i = 1; i < badLines.size(); ++i)
            message += "; " + badLines[i];
        throw EConvertError(message);
    }
    if (store.KeyExists()) {
        // Whether the file could be deleted is not looked at.
        platform::DeleteFile(path);
        appendLine(kLegacyDeletedLine);
    }
}

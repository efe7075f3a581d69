#include "options/LegacyOptionImport.h"

#include "options/IntegerText.h"
#include "options/OptionNames.h"
#include "options/OptionTable.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/TextFile.h"
#include "platform/settings/SettingsStore.h"

#include <vector>

namespace {

constexpr std::size_t kIgnoredHeaderChars = 10;
constexpr char kLegacyVersion[] = "1.2";

// Imports the value of row from the text of its line unless the store holds
// it: a value there is never overwritten. A number line that is no integer
// is left out and named in badLines.
void ImportValue(const OptionRow& row, const std::string& text, platform::SettingsStore& store,
                 std::vector<std::string>& badLines)
{
    const bool kept = store.ValueExists(row.name);
    if (row.IsText()) {
        if (!kept)
            store.WriteString(row.name, text);
        return;
    }
    if (kept && !row.legacy.convertedWhenKept)
        return;
    try {
        const std::int32_t value = StrToInt(text);
        if (!kept)
            store.WriteInteger(row.name, value);
    } catch (const EConvertError& error) {
        badLines.push_back("line " + std::to_string(row.legacy.number) + ": " + error.what());
    }
}

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
    if (version == kLegacyVersion) {
        for (const OptionRow& row : kOptionTable) {
            if (row.legacy.number > 0)
                ImportValue(row, line(static_cast<std::size_t>(row.legacy.number)), store, badLines);
        }
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

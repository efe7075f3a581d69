// An options.txt of any bytes, imported into an empty store as the first
// start of this version does, then imported once more into the store the
// first import filled: the file never stays behind, a kept file holds every
// byte, and the second import keeps every value the store already holds.

#include "FuzzSupport.h"
#include "options/IntegerText.h"
#include "options/LegacyOptionImport.h"
#include "options/OptionNames.h"
#include "options/OptionTable.h"
#include "platform/settings/SettingsStore.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

using fuzz::Require;

// Every value of the store as it reads back.
std::map<std::string, std::string> Values(const platform::SettingsStore& store)
{
    std::vector<std::string> names = {OptionNames::kVersion};
    for (const OptionRow& row : kOptionTable)
        names.emplace_back(row.name);
    std::map<std::string, std::string> values;
    for (const std::string& name : names) {
        if (!store.ValueExists(name))
            continue;
        try {
            values[name] = "int " + std::to_string(store.ReadInteger(name));
        } catch (const platform::ESettingsError&) {
            values[name] = "str " + store.ReadString(name);
        }
    }
    return values;
}

// One import of bytes as options.txt; checks where the file went.
void Import(std::string_view bytes, platform::SettingsStore& store)
{
    const std::string path = fuzz::TheFolder() / kLegacyOptionFileName;
    fuzz::WriteWholeFile(path, bytes);
    std::vector<std::string> lines;
    bool converted = true;
    try {
        ImportLegacyOptions(path, store, [&lines](const std::string& line) { lines.push_back(line); });
    } catch (const EConvertError&) {
        converted = false;
    }
    Require(!std::filesystem::exists(path), "the option file is gone after the import");
    Require(lines.size() == 2 && lines[0] == kLegacyFoundLine, "the import gives its two Report lines");
    if (converted) {
        Require(lines[1] == kLegacyDeletedLine, "a file read through is deleted");
        return;
    }
    const std::string keptLine = kLegacyKeptLine;
    Require(lines[1].rfind(keptLine, 0) == 0, "a file with a bad line is kept");
    const std::string keptPath = lines[1].substr(keptLine.size());
    Require(fuzz::ReadWholeFile(keptPath) == bytes, "the kept file holds every byte of the option file");
    std::filesystem::remove(keptPath);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string storePath = fuzz::TheFolder() / "Folderly.conf";
    std::filesystem::remove(storePath);
    platform::SettingsStore store(storePath);
    Require(store.OpenKey(true), "an empty store is made");

    Import(fuzz::Bytes(data, size), store);
    const std::map<std::string, std::string> imported = Values(store);
    Require(imported.count(OptionNames::kVersion) == 1, "the import stores the version");
    Import(fuzz::Bytes(data, size), store);
    Require(Values(store) == imported, "values the store holds are kept");
    return 0;
}

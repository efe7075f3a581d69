#pragma once

#include <string>

class ReportList;

namespace platform {
class SettingsStore;
}

// The option file of version 1.2, imported once at start-up and deleted.
inline constexpr char kLegacyOptionFileName[] = "options.txt";

// Report list lines of the import.
inline constexpr char kLegacyFoundLine[] =
    "The option file v1.2 was found and options were exported into the registry";
inline constexpr char kLegacyDeletedLine[] = "The option file v1.2 was deleted";

// Imports the legacy option file at path into the open store when it
// exists: values the store already holds are kept; a file of another
// version is deleted unread. Appends the two Report list lines. A number
// line that is no integer throws EConvertError and leaves the file in
// place (what was written before stays); file errors throw
// platform::EInOutError, store errors platform::ESettingsError.
void ImportLegacyOptions(const std::string& path, platform::SettingsStore& store, ReportList& report);

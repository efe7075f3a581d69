#pragma once

#include <functional>
#include <string>

namespace platform {
class SettingsStore;
}

// The option file of version 1.2, imported once at start-up and deleted.
inline constexpr char kLegacyOptionFileName[] = "options.txt";

// Report list lines of the import.
inline constexpr char kLegacyFoundLine[] = "The option file v1.2 was found and options were exported into the registry";
inline constexpr char kLegacyDeletedLine[] = "The option file v1.2 was deleted";
// Followed by the path the file was kept under.
inline constexpr char kLegacyKeptLine[] = "The option file v1.2 was kept as ";
// What a file that held a bad line is kept beside under: its name and this.
inline constexpr char kLegacyKeptSuffix[] = ".bad";

// Imports the legacy option file at path into the open store when it
// exists: values the store already holds are kept; a file of another
// version is deleted unread. Gives the two Report list lines to appendLine.
//
// A number line that is no integer is left out and the rest imported; the
// file is then not deleted but kept beside under another name (never over
// another file), so that nothing of it is lost and the next start does not
// meet it again, and the import ends with one EConvertError naming every bad
// line. File errors throw platform::EInOutError, store errors
// platform::ESettingsError.
void ImportLegacyOptions(const std::string& path, platform::SettingsStore& store,
                         const std::function<void(const std::string& line)>& appendLine);

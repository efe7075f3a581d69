#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

class QSettings;

namespace platform {

// Texts of the store's failures; "%s" stands for the value's name.
inline constexpr char kInvalidDataTypeText[] = "Invalid data type for '%s'";
inline constexpr char kFailedToGetDataText[] = "Failed to get data for '%s'";
inline constexpr char kFailedToSetDataText[] = "Failed to set data for '%s'";
// Why a key could not be read when its file is there but is no settings file.
inline constexpr char kNotASettingsFileText[] = "Not a settings file";

// The error of a settings store operation (and of the autostart entry).
class ESettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;

    // The error whose message is pattern with its "%s" replaced by the name.
    static ESettingsError For(const char* pattern, const std::string& valueName);
};

// The program's settings key: the INI file that QSettings("Vantrel",
// "Folderly") uses on Linux, $XDG_CONFIG_HOME/Vantrel/Folderly.conf, its
// values at the top level under their exact names.
//
// Values keep their type in the file. An integer is written as "int:" and
// its decimal digits ("SynchroMode=int:1"), a string as "str:" and its text
// ("Ext=str:doc"), so that the string "1" never reads back as an integer.
// A hand-written text without either marker counts as a string.
//
// Writes go to the file at once (each one is synced and checked), so a
// value that cannot be stored fails at its own write, and nothing after it
// is attempted. Operations on a key that is not open behave as on a key that
// could not be opened: nothing exists, reads and writes fail.
class SettingsStore {
public:
    // Where QSettings("Vantrel", "Folderly") keeps its file; follows
    // XDG_CONFIG_HOME (default ~/.config) at each call.
    static std::string DefaultFilePath();

    SettingsStore();  // on DefaultFilePath(), resolved now
    explicit SettingsStore(std::string filePath);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    const std::string& FilePath() const { return m_filePath; }

    // Opens the key; with canCreate a missing key (file and folders) is
    // created empty. True when the key is open afterwards. Opening again
    // reopens. Something else at the file's place (a folder, a pipe) is
    // never created over nor waited on.
    bool OpenKey(bool canCreate);
    // Why the last OpenKey could not read what the key holds: the file could
    // not be opened or created, or it is not in the store's format (then
    // what could be read is there). Empty when all was read, or when there
    // was no key and none was to be created.
    const std::string& ReadFailure() const { return m_readFailure; }
    // Closes the key; a closed key may be opened again.
    void CloseKey();
    bool IsOpen() const { return m_settings != nullptr; }
    // Whether the key exists, open or not.
    bool KeyExists() const;

    bool ValueExists(const std::string& name) const;
    // Throws "Failed to get data for '<name>'" when the value is missing or
    // unreadable, "Invalid data type for '<name>'" when it holds a string.
    std::int32_t ReadInteger(const std::string& name) const;
    // Throws "Failed to get data for '<name>'" when the value is missing or
    // unreadable, "Invalid data type for '<name>'" when it holds an integer.
    std::string ReadString(const std::string& name) const;
    // Replace the whole value; throw "Failed to set data for '<name>'" when
    // it cannot be stored.
    void WriteInteger(const std::string& name, std::int32_t value);
    void WriteString(const std::string& name, const std::string& value);
    // True when the value was there and is gone from the file.
    bool DeleteValue(const std::string& name);

private:
    void Store(const std::string& name, const std::string& encoded);
    void RenewAfterFailure();

    std::string m_filePath;
    std::unique_ptr<QSettings> m_settings;  // while the key is open
    std::string m_readFailure;
};

}  // namespace platform

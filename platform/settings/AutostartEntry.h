#pragma once

#include <string>

namespace platform {

// The name under which the program starts with the user's session; the
// failure of its write names it.
inline constexpr char kAutostartName[] = "Folderly";

// The program's entry in the desktop's autostart folder:
// $XDG_CONFIG_HOME/autostart/Folderly.desktop. Its Exec names the installed
// program, a fixed path whatever the running program's own path is.
class AutostartEntry {
public:
    // Follows XDG_CONFIG_HOME (default ~/.config) at each call.
    static std::string DefaultFilePath();
    // <install prefix>/bin/folderly, fixed at build time.
    static std::string InstalledProgramPath();
    // A desktop entry that starts the program at programPath.
    static std::string DesktopEntryText(const std::string& programPath);

    AutostartEntry();  // DefaultFilePath(), resolved now; the installed program
    AutostartEntry(std::string filePath, std::string programPath);

    const std::string& FilePath() const { return m_filePath; }

    bool Exists() const;
    // Writes (replaces) the entry, creating the autostart folder when
    // missing. Throws ESettingsError "Failed to set data for 'Folderly'"
    // when it cannot be stored.
    void Write() const;
    // True when the entry was there and is gone.
    bool Delete() const;

private:
    std::string m_filePath;
    std::string m_programPath;
};

}  // namespace platform

#pragma once

// Names of the values in the settings key, and what "version" holds.
namespace OptionNames {

inline constexpr char kVersion[] = "version";
inline constexpr char kSynchroMode[] = "SynchroMode";
inline constexpr char kFileType[] = "FileType";
inline constexpr char kFilter[] = "Filter";
inline constexpr char kExt[] = "Ext";
inline constexpr char kTimer[] = "Timer";
inline constexpr char kTimerInterval[] = "TimerInterval";
inline constexpr char kTimerAction[] = "TimerAction";
inline constexpr char kSilentMode[] = "SilentMode";
inline constexpr char kTrayMode[] = "TrayMode";
inline constexpr char kAutostart[] = "Autostart";
inline constexpr char kKeepReplaced[] = "KeepReplaced";
inline constexpr char kRunOnChange[] = "RunOnChange";

inline constexpr char kVersionText[] = "1.3";

}  // namespace OptionNames

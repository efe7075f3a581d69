#pragma once

#include <string>

namespace platform {

// The program folder: $XDG_DATA_HOME/Folderly/ (by default
// ~/.local/share/Folderly/), with its trailing '/'. Read from the
// environment at each call; the program resolves it once at start.
std::string ProgramFolderFromEnvironment();

// $XDG_DATA_HOME (by default ~/.local/share), without a trailing '/'.
std::string DataHomeFromEnvironment();

}  // namespace platform

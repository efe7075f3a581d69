#pragma once

#include <functional>
#include <optional>
#include <string>

class FolderList;

// How Add Path asks the user for a folder: the chosen path text, or nothing
// on Cancel. The window shows its "Select Directory" dialog; tests answer.
using DirectoryChooser = std::function<std::optional<std::string>()>;

// Shown by the application's error handler when the chosen path is empty.
inline constexpr const char* kUnableToCreateDirectory = "Unable to create directory";

// The Add Path command of both lists: makes "/" current, lets the user choose
// a folder, creates it with every missing parent (a failure is not reported)
// and adds the path text (without trailing '/', the root excepted) as a new
// entry, also when it could not be created.
// Returns false on Cancel, with nothing changed. An empty path text throws
// std::runtime_error(kUnableToCreateDirectory) and adds nothing.
bool AddPath(FolderList& list, const DirectoryChooser& choose);

// A typed folder text as a full path: "~" and a text starting with "~/" go
// from home, any other text that is no full path from the folder shown
// (each with "." and ".." taken as written and no '/' at the end). A full
// path and the empty text stay as typed.
std::string FullFolderPath(const std::string& typed, const std::string& shownFolder, const std::string& home);

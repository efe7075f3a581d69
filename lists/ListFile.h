#pragma once

#include <string>

class FolderList;

// List files: one entry text per line. Load adds every line of the file as
// an entry (a missing file leaves the list as it is); Save writes the
// entries from the last to the first with CR LF, replacing the file
// atomically (an empty list gives a zero-byte file). Both throw
// platform::EInOutError on a file error.
void LoadListFile(FolderList& list, const std::string& path);
void SaveListFile(const FolderList& list, const std::string& path);

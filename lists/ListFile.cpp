#include "lists/ListFile.h"

#include "lists/FolderList.h"
#include "platform/TextFile.h"

#include <cerrno>
#include <sys/stat.h>
#include <vector>

namespace {

// A list file is "there" only as a file: nothing at the path, a missing
// folder on the way, or a folder standing at the path leave the list empty.
bool ListFileExists(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno != ENOENT && errno != ENOTDIR;  // other failures are for the read to report
    return !S_ISDIR(info.st_mode);
}

}  // namespace

void LoadListFile(FolderList& list, const std::string& path)
{
    if (!ListFileExists(path))
        return;
    for (const std::string& line : platform::ReadTextLines(path))
        list.Add(line);
}

void SaveListFile(const FolderList& list, const std::string& path)
{
    std::vector<std::string> lines;
    lines.reserve(static_cast<size_t>(list.Count()));
    for (int i = list.Count() - 1; i >= 0; --i)
        lines.push_back(list.Text(i));
    platform::WriteTextLines(path, lines);
}

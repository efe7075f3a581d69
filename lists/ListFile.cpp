#include "lists/ListFile.h"

#include "lists/FolderList.h"
#include "platform/fs/TextFile.h"

#include <cerrno>
#include <sys/stat.h>
#include <vector>

namespace {

// Nothing at the path, or a missing folder on the way, leave the list
// empty. Anything else is read, and what cannot be read as a file (a
// folder, a pipe, a link loop) is reported by the read.
bool ListFileExists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

}  // namespace

void LoadListFile(FolderList& list, const std::string& path)
{
    if (!ListFileExists(path))
        return;
    list.AddAll(platform::ReadTextLines(path));
}

void SaveListFile(const FolderList& list, const std::string& path)
{
    std::vector<std::string> lines;
    lines.reserve(static_cast<size_t>(list.Count()));
    for (int i = list.Count() - 1; i >= 0; --i)
        lines.push_back(list.Text(i));
    platform::WriteTextLines(path, lines);
}

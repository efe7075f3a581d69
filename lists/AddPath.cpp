#include "lists/AddPath.h"

#include <stdexcept>

#include "lists/FolderList.h"
#include "platform/fs/FileSystem.h"

bool AddPath(FolderList& list, const DirectoryChooser& choose)
{
    platform::SetCurrentDir("/");
    const std::optional<std::string> chosen = choose();
    if (!chosen)
        return false;
    if (chosen->empty())
        throw std::runtime_error(kUnableToCreateDirectory);
    // A folder that cannot be made is not reported; the entry goes in anyway.
    platform::ForceDirectories(*chosen);
    // Without trailing '/': "/x/photos/" would otherwise have no last name
    // for folders mode to pair it by. The root stays "/".
    const std::size_t last = chosen->find_last_not_of('/');
    list.Add(last == std::string::npos ? "/" : chosen->substr(0, last + 1));
    return true;
}

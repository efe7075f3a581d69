#include "lists/AddPath.h"

#include <filesystem>
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

std::string FullFolderPath(const std::string& typed, const std::string& shownFolder, const std::string& home)
{
    if (typed.empty() || IsFullFolderPath(typed))
        return typed;
    const bool fromHome = typed == "~" || typed.rfind("~/", 0) == 0;
    const std::filesystem::path base(fromHome ? home : shownFolder);
    const std::filesystem::path rest(fromHome ? typed.substr(1) : typed);
    // Dropping the dots here keeps "." or ".." from becoming the last name
    // that folders mode pairs by.
    std::string full = (base / rest.relative_path()).lexically_normal().string();
    while (full.size() > 1 && full.back() == '/')
        full.pop_back();
    return full;
}

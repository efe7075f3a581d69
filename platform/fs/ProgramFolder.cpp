#include "platform/fs/ProgramFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace platform {

namespace {

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    // No HOME (started by a service manager, say): the account's folder.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "/";
}

std::string WithoutTrailingSlashes(std::string path)
{
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    return path;
}

}  // namespace

std::string DataHomeFromEnvironment()
{
    // A relative XDG_DATA_HOME is invalid and ignored, as the desktop's own
    // programs do.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/')
        return WithoutTrailingSlashes(data);
    return WithoutTrailingSlashes(HomeFolder()) + "/.local/share";
}

std::string ProgramFolderFromEnvironment()
{
    return DataHomeFromEnvironment() + "/Folderly/";
}

}  // namespace platform

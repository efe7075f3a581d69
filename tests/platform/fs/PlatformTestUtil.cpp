#include "PlatformTestUtil.h"

#include <dirent.h>

#include <cstdlib>
#include <ctime>
#include <stdexcept>

#include "platform/fs/DirectorySearch.h"

std::set<std::string> ListFolder(const std::string& folder)
{
    std::set<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        throw std::runtime_error("cannot list " + folder);
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.insert(name);
    }
    closedir(dir);
    return names;
}

std::set<std::string> SearchNames(const std::string& mask, std::uint32_t attrMask)
{
    std::set<std::string> names;
    platform::DirectorySearch search;
    platform::TSearchRec rec;
    for (bool found = search.FindFirst(mask, attrMask, rec); found; found = search.FindNext(rec))
        names.insert(rec.Name);
    search.FindClose();
    return names;
}

std::string PatternContent(std::size_t size, char seed)
{
    std::string content(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        content[i] = static_cast<char>(seed + (i * 7 + i / 4093) % 251);
    return content;
}

ScopedTimeZone::ScopedTimeZone(const char* zone)
{
    if (const char* old = std::getenv("TZ")) {
        m_had = true;
        m_old = old;
    }
    setenv("TZ", zone, 1);
    tzset();
}

ScopedTimeZone::~ScopedTimeZone()
{
    if (m_had)
        setenv("TZ", m_old.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

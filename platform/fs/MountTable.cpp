#include "platform/fs/MountTable.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace platform {

namespace {

// path without doubled or trailing slashes and "." components, as the
// kernel writes mount points; empty when it is not absolute.
std::string Normalized(std::string_view path)
{
    if (path.empty() || path.front() != '/')
        return {};
    std::string out;
    std::size_t at = 0;
    while (at < path.size()) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        const std::string_view part = path.substr(at, end - at);
        if (!part.empty() && part != ".") {
            out += '/';
            out += part;
        }
        at = end + 1;
    }
    return out.empty() ? "/" : out;
}

std::string Trimmed(std::string_view text)
{
    const std::size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos)
        return {};
    const std::size_t end = text.find_last_not_of(" \t\r");
    return std::string(text.substr(begin, end + 1 - begin));
}

// The mount points fstab names: the second field of each line that is no
// comment. Swap and the like name none ("none", "swap").
void ReadFstab(const std::string& path, std::set<std::string>& named)
{
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line);
        std::string device, where;
        if (!(fields >> device >> where) || device.front() == '#')
            continue;
        if (std::string point = Normalized(UnescapedMountField(where)); !point.empty())
            named.insert(std::move(point));
    }
}

// The Where= of a mount unit's [Mount] section.
void ReadMountUnit(const std::filesystem::path& path, std::set<std::string>& named)
{
    std::ifstream file(path);
    bool inMount = false;
    for (std::string line; std::getline(file, line);) {
        const std::string text = Trimmed(line);
        if (text.empty() || text.front() == '#' || text.front() == ';')
            continue;
        if (text.front() == '[') {
            inMount = text == "[Mount]";
            continue;
        }
        const std::size_t equals = text.find('=');
        if (!inMount || equals == std::string::npos || Trimmed(text.substr(0, equals)) != "Where")
            continue;
        std::string value = Trimmed(text.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (std::string point = Normalized(value); !point.empty())
            named.insert(std::move(point));
    }
}

void ReadMountUnits(const std::string& folder, std::set<std::string>& named)
{
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().extension() == ".mount")
            ReadMountUnit(it->path(), named);
    }
}

// The fifth field of each line: where the mount is.
void ReadMountinfo(const std::string& path, std::set<std::string>& mounted)
{
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line);
        std::string id, parent, numbers, root, where;
        if (!(fields >> id >> parent >> numbers >> root >> where))
            continue;
        if (std::string point = Normalized(UnescapedMountField(where)); !point.empty())
            mounted.insert(std::move(point));
    }
}

}  // namespace

std::string UnescapedMountField(std::string_view field)
{
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2])
            && octal(field[i + 3])) {
            out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

MountTable::MountTable(const MountSources& sources)
{
    ReadMountinfo(sources.mountinfo, m_mounted);
    // Without the table of what is mounted nothing can be told apart.
    if (m_mounted.empty())
        return;
    ReadFstab(sources.fstab, m_named);
    for (const std::string& folder : sources.unitFolders)
        ReadMountUnits(folder, m_named);
}

bool MountTable::Mounted(const std::string& path) const
{
    return m_mounted.contains(Normalized(path));
}

bool MountTable::NothingMountedAt(const std::string& path) const
{
    std::string at = Normalized(path);
    while (!at.empty()) {
        if (m_mounted.contains(at))
            return false;
        if (m_named.contains(at))
            return true;
        if (at == "/")
            return false;
        const std::size_t slash = at.rfind('/');
        at = slash == 0 ? "/" : at.substr(0, slash);
    }
    return false;
}

}  // namespace platform

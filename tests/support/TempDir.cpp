#include "TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "folderly-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = buffer.data();
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Give every folder back its write bit first, so that read-only
    // fixtures can be removed.
    for (auto it = fs::recursive_directory_iterator(m_path, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_directory(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(m_path, ec);
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path);
    out << content;
}

void AppendFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::app);
    if (!out)
        throw std::runtime_error("cannot append to " + path);
    out << content;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void SetMTime(const std::string& path, long long epochSeconds, long nanoseconds)
{
    timespec times[2];
    times[0].tv_sec = static_cast<time_t>(epochSeconds);
    times[0].tv_nsec = nanoseconds;
    times[1] = times[0];
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        throw std::runtime_error("cannot set time of " + path);
}

long long MTimeSeconds(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        throw std::runtime_error("cannot stat " + path);
    return st.st_mtim.tv_sec;
}

long MTimeNanoseconds(const std::string& path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        throw std::runtime_error("cannot stat " + path);
    return st.st_mtim.tv_nsec;
}

void MakeReadOnly(const std::string& path)
{
    if (chmod(path.c_str(), 0444) != 0)
        throw std::runtime_error("cannot chmod " + path);
}

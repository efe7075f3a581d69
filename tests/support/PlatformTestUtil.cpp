#include "PlatformTestUtil.h"

#include <dirent.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <ctime>
#include <stdexcept>
#include <thread>

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

std::string RunAsUser(uid_t uid, gid_t gid, const std::function<std::string()>& body)
{
    int fds[2];
    if (::pipe(fds) != 0) {
        ADD_FAILURE() << "no pipe";
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        if (::setgroups(1, &gid) != 0 || ::setresgid(gid, gid, gid) != 0 || ::setresuid(uid, uid, uid) != 0)
            _exit(100);
        const std::string said = body();
        const bool sent = ::write(fds[1], said.data(), said.size()) == static_cast<ssize_t>(said.size());
        _exit(sent ? 0 : 101);
    }
    ::close(fds[1]);
    std::string said;
    char buffer[4096];
    for (ssize_t got; child > 0 && (got = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(got));
    ::close(fds[0]);
    int status = 0;
    EXPECT_TRUE(child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "child status " << status;
    return said;
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

testing::AssertionResult EndsWithin(std::chrono::milliseconds limit, const std::function<int()>& work,
                                    const std::function<void(pid_t)>& meanwhile)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(work());
    if (child < 0)
        return testing::AssertionFailure() << "no child";
    const auto start = std::chrono::steady_clock::now();
    if (meanwhile)
        meanwhile(child);
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() - start > limit) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return testing::AssertionFailure() << "still waiting after " << limit.count() << " ms";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return testing::AssertionFailure() << "ended with status " << status;
    return testing::AssertionSuccess();
}

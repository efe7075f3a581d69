#pragma once

#include <sys/types.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "platform/fs/FileSystemTesting.h"

// Every name in a folder as the system lists it, "." and ".." left out.
std::set<std::string> ListFolder(const std::string& folder);

// Every name a directory search yields for mask and attrMask.
std::set<std::string> SearchNames(const std::string& mask, std::uint32_t attrMask);

// Content of the given size that differs from position to position.
std::string PatternContent(std::size_t size, char seed);

// Runs body in a child process that has become user uid with gid as its
// only group, and returns what body returned. A child that cannot become
// that user, or does not end well, fails the test.
std::string RunAsUser(uid_t uid, gid_t gid, const std::function<std::string()>& body);

// Runs work in a child process, then meanwhile(child) here; success when
// the child ended by itself within limit with status 0. A child that hangs
// is killed: the test fails instead of hanging.
testing::AssertionResult EndsWithin(std::chrono::milliseconds limit, const std::function<int()>& work,
                                    const std::function<void(pid_t)>& meanwhile = {});

// Sets the file system test hooks for the life of the object.
class ScopedTestHooks {
public:
    explicit ScopedTestHooks(const platform::FileSystemTestHooks& hooks) { platform::SetFileSystemTestHooks(hooks); }
    ~ScopedTestHooks() { platform::ClearFileSystemTestHooks(); }
    ScopedTestHooks(const ScopedTestHooks&) = delete;
    ScopedTestHooks& operator=(const ScopedTestHooks&) = delete;
};

// Sets TZ for the life of the object.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::string m_old;
    bool m_had = false;
};

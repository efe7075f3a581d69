#pragma once

#include <filesystem>
#include <string>

// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes (read-only files included).
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    // Path of a name inside the folder.
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Small file helpers for tests.
void WriteFile(const std::string& path, const std::string& content);
void AppendFile(const std::string& path, const std::string& content);
std::string ReadFile(const std::string& path);
// Sets the last-write time (and access time) to the given epoch seconds.
void SetMTime(const std::string& path, long long epochSeconds, long nanoseconds = 0);
long long MTimeSeconds(const std::string& path);
long MTimeNanoseconds(const std::string& path);
void MakeReadOnly(const std::string& path);

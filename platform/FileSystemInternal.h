#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/FileSystemTesting.h"

// Pieces shared by the files of the file system layer.
namespace platform::detail {

// The hooks tests have set, or null (the normal case).
const FileSystemTestHooks* ActiveTestHooks();

bool IsTemporaryName(std::string_view name);

// A fresh name with the temporary prefix.
std::string NewTemporaryName();

// Writes all of data to fd, retrying short writes and EINTR, and asking the
// test hook before each piece. 0 or the errno.
int WriteAll(int fd, const char* data, std::size_t size, std::uint64_t& bytesDone);

// The folder and last component of a path: "/a/b" -> "/a", "b";
// "/b" -> "/", "b"; "//b" -> "/", "b"; "b" -> ".", "b".
void SplitPath(const std::string& path, std::string& folder, std::string& name);

// Packed time of a stat's last-write time.
std::int32_t PackStatTime(const struct stat& st);

}  // namespace platform::detail

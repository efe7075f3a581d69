#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// The runtime's texts for file errors.
inline constexpr const char* kFileNotFoundText = "File not found";
inline constexpr const char* kInvalidFilenameText = "Invalid filename";
inline constexpr const char* kTooManyOpenFilesText = "Too many open files";
inline constexpr const char* kFileAccessDeniedText = "File access denied";
inline constexpr const char* kDiskFullText = "Disk full";
inline constexpr const char* kIoErrorFormat = "I/O error %d";  // with the errno

// The one exception of checked file operations (list files, report file,
// legacy option file). Its message is the runtime's text for the error and
// its code the runtime's number for it: 2 "File not found", 3 "Invalid
// filename", 4 "Too many open files", 5 "File access denied", 101 "Disk full",
// anything else "I/O error <errno>".
class EInOutError : public std::runtime_error {
public:
    EInOutError(int errorCode, const std::string& message);

    // Builds the exception for a failed system call's errno. ENOENT gives
    // "File not found": only FromErrnoAtPath can tell a missing folder.
    static EInOutError FromErrno(int errnoValue);
    // The same for a call on path: ENOENT where a folder of the path is
    // missing (or is no folder) gives "Invalid filename", as ENOTDIR does.
    static EInOutError FromErrnoAtPath(int errnoValue, const std::string& path);

    int ErrorCode() const noexcept { return m_errorCode; }

private:
    int m_errorCode;
};

}  // namespace platform

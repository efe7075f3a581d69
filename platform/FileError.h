#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// The one exception of checked file operations (list files, report file,
// legacy option file). Its message is the runtime's text for the error and
// its code the runtime's number for it: 2 "File not found", 3 "Invalid
// filename", 4 "Too many open files", 5 "File access denied", 101 "Disk full",
// anything else "I/O error <errno>".
class EInOutError : public std::runtime_error {
public:
    EInOutError(int errorCode, const std::string& message);

    // Builds the exception for a failed system call's errno.
    static EInOutError FromErrno(int errnoValue);

    int ErrorCode() const noexcept { return m_errorCode; }

private:
    int m_errorCode;
};

}  // namespace platform

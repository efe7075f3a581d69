#include "platform/fs/FileError.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "platform/fs/FileSystemInternal.h"

namespace platform {

EInOutError::EInOutError(int errorCode, const std::string& message)
    : std::runtime_error(message),
      m_errorCode(errorCode)
{
}

EInOutError EInOutError::FromErrno(int errnoValue)
{
    switch (errnoValue) {
    case ENOENT: return EInOutError(2, kFileNotFoundText);
    case ENOTDIR: return EInOutError(3, kInvalidFilenameText);
    case EMFILE:
    case ENFILE: return EInOutError(4, kTooManyOpenFilesText);
    case EACCES:
    case EPERM:
    case EROFS: return EInOutError(5, kFileAccessDeniedText);
    case ENOSPC:
    case EDQUOT: return EInOutError(101, kDiskFullText);
    default: {
        char text[48];
        std::snprintf(text, sizeof text, kIoErrorFormat, errnoValue);
        return EInOutError(errnoValue, text);
    }
    }
}

EInOutError EInOutError::FromErrnoAtPath(int errnoValue, const std::string& path)
{
    if (errnoValue == ENOENT) {
        std::string folder;
        std::string name;
        detail::SplitPath(path, folder, name);
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return FromErrno(ENOTDIR);
    }
    return FromErrno(errnoValue);
}

}  // namespace platform

#pragma once

#include <string>
#include <vector>

namespace platform {

// The error of a read from something that is no file (a folder, a pipe, a
// device): it is refused at once rather than read or waited on.
inline constexpr const char* kNotAFileText = "Not a file";
inline constexpr int kNotAFileCode = 21;  // as for a folder (EISDIR)

// Reads every line of a text file. A line ends at LF, CR LF or a lone CR.
// Throws EInOutError when the file cannot be opened or read, or is no file.
std::vector<std::string> ReadTextLines(const std::string& path);

// Writes the lines, each followed by CR LF, bytes as they are. The file is
// written under a temporary name beside it and renamed over the old one only
// when complete, so a failure leaves the previous file whole. Throws
// EInOutError on any failure (and removes the temporary file).
void WriteTextLines(const std::string& path, const std::vector<std::string>& lines);

// Moves the file at path to the first free name of path + suffix, then
// path + suffix + ".2", ".3" and so on, never replacing anything there.
// Returns the new path; throws EInOutError when the file cannot be moved.
std::string MoveAside(const std::string& path, const std::string& suffix);

}  // namespace platform

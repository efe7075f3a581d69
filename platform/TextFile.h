#pragma once

#include <string>
#include <vector>

namespace platform {

// Reads every line of a text file. A line ends at LF or CR LF; a CR not
// followed by LF is dropped. Throws EInOutError when the file cannot be
// opened or read.
std::vector<std::string> ReadTextLines(const std::string& path);

// Writes the lines, each followed by CR LF, bytes as they are. The file is
// written under a temporary name beside it and renamed over the old one only
// when complete, so a failure leaves the previous file whole. Throws
// EInOutError on any failure (and removes the temporary file).
void WriteTextLines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace platform

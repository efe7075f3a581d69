#pragma once

// What the fuzz targets share: a folder of their own for the files they hand
// to the code under test, and the check that turns a broken promise into a
// crash, which libFuzzer keeps with its input.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

namespace fuzz {

// Not assert(): the fuzz build defines NDEBUG.
inline void Require(bool holds, const char* what)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// A folder in TMPDIR of this process alone, removed when libFuzzer ends the
// run normally (a crash leaves it, with the files of the crashing input).
class Folder {
public:
    Folder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "folderly-fuzz-XXXXXX").string();
        Require(mkdtemp(pattern.data()) != nullptr, "a temporary folder can be made");
        m_path = pattern;
    }
    ~Folder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

inline const Folder& TheFolder()
{
    static const Folder folder;
    return folder;
}

inline void WriteWholeFile(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    Require(out.good(), "the input file can be written");
}

inline std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    Require(in.good(), "a file the code wrote can be read");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace fuzz

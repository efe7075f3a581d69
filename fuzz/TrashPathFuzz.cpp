// A path of any bytes as a .trashinfo's Path value: the encoding holds only
// the characters file managers read back, and decodes to the very bytes; any
// text decodes (a Path written by another program).

#include "FuzzSupport.h"
#include "platform/fs/Trash.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool Plain(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
        || std::string_view("/-_.!~*'()").find(c) != std::string_view::npos;
}

bool UpperHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using fuzz::Require;
    using platform::detail::PercentDecoded;
    using platform::detail::PercentEncoded;

    const std::string path(fuzz::Bytes(data, size));
    const std::string encoded = PercentEncoded(path);
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        if (Plain(encoded[i]))
            continue;
        Require(encoded[i] == '%' && i + 2 < encoded.size() && UpperHexDigit(encoded[i + 1])
                    && UpperHexDigit(encoded[i + 2]),
                "the encoding holds letters, digits, /-_.!~*'() and %XX only");
        i += 2;
    }
    Require(PercentDecoded(encoded) == path, "the encoding decodes to the path");

    // Each %XX stands for one byte, every other byte for itself.
    const std::string decoded = PercentDecoded(path);
    Require(decoded.size() <= path.size(), "decoding never lengthens a value");
    Require(path.find('%') != std::string::npos || decoded == path, "a value without % is the path itself");
    return 0;
}

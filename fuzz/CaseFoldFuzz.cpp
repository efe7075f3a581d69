// A name of any bytes folded as names are compared without regard to case:
// folding is simple Unicode case folding, so folding again changes nothing;
// it folds character by character, bytes that are not UTF-8 staying as they
// are; and the ASCII-only shortcut folds as the general way does.

#include "FuzzSupport.h"
#include "platform/fs/CaseFold.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Where DecodeUtf8 puts a byte that begins no well-formed sequence.
constexpr char32_t kRawByteBase = 0x110000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using fuzz::Require;
    using platform::detail::DecodeUtf8;
    using platform::detail::FoldName;

    const std::string name(fuzz::Bytes(data, size));
    const std::string folded = FoldName(name);
    Require(FoldName(folded) == folded, "folding a folded name changes nothing");

    std::vector<char32_t> before;
    std::vector<char32_t> after;
    DecodeUtf8(name, before);
    DecodeUtf8(folded, after);
    Require(before.size() == after.size(), "folding keeps the number of characters");
    for (std::size_t i = 0; i < before.size(); ++i) {
        const bool raw = before[i] >= kRawByteBase;
        Require(raw == (after[i] >= kRawByteBase), "only bytes that are not UTF-8 fold to such bytes");
        Require(!raw || before[i] == after[i], "a byte that is not UTF-8 stays as it is");
        const bool upperAscii = before[i] >= U'A' && before[i] <= U'Z';
        Require(!upperAscii || after[i] == before[i] + 0x20, "ASCII capitals fold to small letters");
    }

    // A whole character after any bytes begins a character of its own, and
    // "É" folds to "é": the name's folding is kept in front of it.
    Require(FoldName(name + "\xC3\x89") == folded + "\xC3\xA9", "a name folds alike with a character after it");
    return 0;
}

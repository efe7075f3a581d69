// A wildcard pattern and names, split at NUL bytes (pattern\0name\0name...):
// the search's matcher, one compiled pattern over every name, against a plain
// table of which pattern prefix matches which name prefix.

#include "FuzzSupport.h"
#include "platform/fs/CaseFold.h"
#include "platform/fs/DirectorySearch.h"
#include "platform/fs/FileSystemInternal.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using platform::detail::DecodeUtf8;
using platform::detail::FoldCase;

std::vector<char32_t> Folded(std::string_view text)
{
    std::vector<char32_t> points;
    DecodeUtf8(text, points);
    for (char32_t& c : points)
        c = FoldCase(c);
    return points;
}

// '*' any run of characters, '?' one, anything else itself, letter case
// ignored: reach[j] tells whether the pattern's first j characters match the
// name read so far.
bool TableMatches(const std::vector<char32_t>& pattern, const std::vector<char32_t>& name)
{
    std::vector<char> reach(pattern.size() + 1, 0);
    reach[0] = 1;
    for (std::size_t j = 0; j < pattern.size() && pattern[j] == U'*'; ++j)
        reach[j + 1] = 1;
    for (const char32_t c : name) {
        std::vector<char> next(pattern.size() + 1, 0);
        for (std::size_t j = 0; j < pattern.size(); ++j) {
            if (pattern[j] == U'*')
                next[j + 1] = static_cast<char>(next[j] || reach[j + 1] || reach[j]);
            else if (reach[j] && (pattern[j] == U'?' || pattern[j] == c))
                next[j + 1] = 1;
        }
        reach.swap(next);
    }
    return reach[pattern.size()] != 0;
}

// "name.*" matches "name" too; so "*.*" matches every name, also one
// without a dot.
bool ExpectedMatch(std::vector<char32_t> pattern, const std::vector<char32_t>& name)
{
    if (TableMatches(pattern, name))
        return true;
    const std::size_t n = pattern.size();
    if (n < 2 || pattern[n - 2] != U'.' || pattern[n - 1] != U'*')
        return false;
    pattern.resize(n - 2);
    return TableMatches(pattern, name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input = fuzz::Bytes(data, size);
    const std::size_t split = input.find('\0');
    const std::string patternText(input.substr(0, split));
    std::vector<std::string> names;
    for (std::size_t start = split; start != std::string_view::npos;) {
        const std::size_t end = input.find('\0', start + 1);
        names.emplace_back(input.substr(start + 1, end == std::string_view::npos ? end : end - start - 1));
        start = end;
    }
    // Any text matches itself as a pattern: its '*' and '?' match themselves.
    names.push_back(patternText);

    const platform::detail::SearchPattern pattern(patternText);
    const std::vector<char32_t> folded = Folded(patternText);
    for (const std::string& name : names) {
        const bool matches = pattern.Matches(name);
        fuzz::Require(matches == ExpectedMatch(folded, Folded(name)), "the matcher agrees with the table");
        fuzz::Require(matches == platform::MatchesMask(name, patternText), "one pattern matches as a new one does");
    }
    fuzz::Require(pattern.Matches(patternText), "a pattern matches its own text");
    return 0;
}

#pragma once

#include <string>
#include <string_view>
#include <vector>

// Letter case as the program ignores it when it compares names: simple
// Unicode case folding, the same on every machine whatever the locale.
namespace platform::detail {

// Decodes UTF-8 into code points. A byte that does not begin a well-formed
// sequence stands for itself as 0x110000 + byte, so that any byte string has
// a faithful decoding and two different names never decode alike.
void DecodeUtf8(std::string_view text, std::vector<char32_t>& out);

// The simple case folding of one code point (ASCII, Latin-1, Latin
// Extended-A and -B, Latin Extended Additional, Greek, Cyrillic, Armenian).
char32_t FoldCase(char32_t c);

// A name folded for comparison without regard to case, as UTF-8 bytes
// (bytes that are not UTF-8 stay as they are).
std::string FoldName(std::string_view name);

}  // namespace platform::detail

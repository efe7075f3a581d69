#include "platform/fs/CaseFold.h"

#include <algorithm>
#include <iterator>

namespace platform::detail {

namespace {

constexpr char32_t kRawByteBase = 0x110000;

// Upper case letters that sit in pairs with their lower case right after
// them (even upper, odd lower, or the reverse where the block says so).
bool PairedEvenUpper(char32_t c, char32_t first, char32_t last)
{
    return c >= first && c <= last && ((c - first) % 2 == 0);
}

// Latin Extended-B has no regular pattern: its upper case letters and their
// foldings, in code point order.
struct FoldPair {
    char32_t upper;
    char32_t folded;
};
constexpr FoldPair kLatinExtendedB[] = {
    {0x181, 0x253}, {0x182, 0x183}, {0x184, 0x185}, {0x186, 0x254},  {0x187, 0x188}, {0x189, 0x256}, {0x18A, 0x257},
    {0x18B, 0x18C}, {0x18E, 0x1DD}, {0x18F, 0x259}, {0x190, 0x25B},  {0x191, 0x192}, {0x193, 0x260}, {0x194, 0x263},
    {0x196, 0x269}, {0x197, 0x268}, {0x198, 0x199}, {0x19C, 0x26F},  {0x19D, 0x272}, {0x19F, 0x275}, {0x1A0, 0x1A1},
    {0x1A2, 0x1A3}, {0x1A4, 0x1A5}, {0x1A6, 0x280}, {0x1A7, 0x1A8},  {0x1A9, 0x283}, {0x1AC, 0x1AD}, {0x1AE, 0x288},
    {0x1AF, 0x1B0}, {0x1B1, 0x28A}, {0x1B2, 0x28B}, {0x1B3, 0x1B4},  {0x1B5, 0x1B6}, {0x1B7, 0x292}, {0x1B8, 0x1B9},
    {0x1BC, 0x1BD}, {0x1C4, 0x1C6}, {0x1C5, 0x1C6}, {0x1C7, 0x1C9},  {0x1C8, 0x1C9}, {0x1CA, 0x1CC}, {0x1CB, 0x1CC},
    {0x1CD, 0x1CE}, {0x1CF, 0x1D0}, {0x1D1, 0x1D2}, {0x1D3, 0x1D4},  {0x1D5, 0x1D6}, {0x1D7, 0x1D8}, {0x1D9, 0x1DA},
    {0x1DB, 0x1DC}, {0x1DE, 0x1DF}, {0x1E0, 0x1E1}, {0x1E2, 0x1E3},  {0x1E4, 0x1E5}, {0x1E6, 0x1E7}, {0x1E8, 0x1E9},
    {0x1EA, 0x1EB}, {0x1EC, 0x1ED}, {0x1EE, 0x1EF}, {0x1F1, 0x1F3},  {0x1F2, 0x1F3}, {0x1F4, 0x1F5}, {0x1F6, 0x195},
    {0x1F7, 0x1BF}, {0x1F8, 0x1F9}, {0x1FA, 0x1FB}, {0x1FC, 0x1FD},  {0x1FE, 0x1FF}, {0x200, 0x201}, {0x202, 0x203},
    {0x204, 0x205}, {0x206, 0x207}, {0x208, 0x209}, {0x20A, 0x20B},  {0x20C, 0x20D}, {0x20E, 0x20F}, {0x210, 0x211},
    {0x212, 0x213}, {0x214, 0x215}, {0x216, 0x217}, {0x218, 0x219},  {0x21A, 0x21B}, {0x21C, 0x21D}, {0x21E, 0x21F},
    {0x220, 0x19E}, {0x222, 0x223}, {0x224, 0x225}, {0x226, 0x227},  {0x228, 0x229}, {0x22A, 0x22B}, {0x22C, 0x22D},
    {0x22E, 0x22F}, {0x230, 0x231}, {0x232, 0x233}, {0x23A, 0x2C65}, {0x23B, 0x23C}, {0x23D, 0x19A}, {0x23E, 0x2C66},
    {0x241, 0x242}, {0x243, 0x180}, {0x244, 0x289}, {0x245, 0x28C},  {0x246, 0x247}, {0x248, 0x249}, {0x24A, 0x24B},
    {0x24C, 0x24D}, {0x24E, 0x24F},
};

void AppendUtf8(char32_t c, std::string& out)
{
    if (c >= kRawByteBase) {
        out.push_back(static_cast<char>(c - kRawByteBase));
    } else if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Decodes the character at p (left bytes remain) into out; the bytes it
// took. A byte that does not start a valid sequence stands for itself.
std::size_t DecodeOne(const unsigned char* p, std::size_t left, std::vector<char32_t>& out)
{
    const unsigned char b = p[0];
    if (b < 0x80) {
        out.push_back(b);
        return 1;
    }
    std::size_t length = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        c = b & 0x1F;
        minimum = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        c = b & 0x0F;
        minimum = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        c = b & 0x07;
        minimum = 0x10000;
    }
    bool ok = length != 0 && length <= left;
    for (std::size_t k = 1; ok && k < length; ++k) {
        ok = (p[k] & 0xC0) == 0x80;
        c = (c << 6) | (p[k] & 0x3F);
    }
    if (!ok || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        out.push_back(kRawByteBase + b);
        return 1;
    }
    out.push_back(c);
    return length;
}

}  // namespace

void DecodeUtf8(std::string_view text, std::vector<char32_t>& out)
{
    out.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const std::size_t length = DecodeOne(p + i, n - i, out);
        i += length;
    }
}

namespace {

char32_t FoldLatinExtendedA(char32_t c)
{
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149)
        return c;  // dotted/dotless i and kra have no simple folding
    if (c == 0x178)
        return 0xFF;
    if (c == 0x17F)
        return 's';
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c % 2 == 1) ? c + 1 : c;
    return (c % 2 == 0) ? c + 1 : c;
}

char32_t FoldLatin(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
    if (c < 0x100) {
        if (c == 0xB5)
            return 0x3BC;  // micro sign folds to Greek mu
        if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
            return c + 0x20;
        return c;
    }
    if (c < 0x180)
        return FoldLatinExtendedA(c);
    // Latin Extended-B
    const auto* end = std::end(kLatinExtendedB);
    const auto* it = std::lower_bound(std::begin(kLatinExtendedB), end, c,
                                      [](const FoldPair& p, char32_t v) { return p.upper < v; });
    return (it != end && it->upper == c) ? it->folded : c;
}

char32_t FoldGreek(char32_t c)
{
    if (c == 0x370 || c == 0x372 || c == 0x376)
        return c + 1;
    if (c == 0x37F)
        return 0x3F3;
    if (c == 0x386)
        return 0x3AC;
    if (c >= 0x388 && c <= 0x38A)
        return c + 0x25;
    if (c == 0x38C)
        return 0x3CC;
    if (c == 0x38E || c == 0x38F)
        return c + 0x3F;
    if ((c >= 0x391 && c <= 0x3A1) || (c >= 0x3A3 && c <= 0x3AB))
        return c + 0x20;
    switch (c) {
    case 0x3C2: return 0x3C3;
    case 0x3CF: return 0x3D7;
    case 0x3D0: return 0x3B2;
    case 0x3D1: return 0x3B8;
    case 0x3D5: return 0x3C6;
    case 0x3D6: return 0x3C0;
    case 0x3F0: return 0x3BA;
    case 0x3F1: return 0x3C1;
    case 0x3F4: return 0x3B8;
    case 0x3F5: return 0x3B5;
    case 0x3F7: return 0x3F8;
    case 0x3F9: return 0x3F2;
    case 0x3FA: return 0x3FB;
    default: break;
    }
    if (PairedEvenUpper(c, 0x3D8, 0x3EE))
        return c + 1;
    if (c >= 0x3FD && c <= 0x3FF)
        return c - 0x82;
    return c;
}

// Cyrillic and its supplement.
char32_t FoldCyrillic(char32_t c)
{
    if (c < 0x410)
        return c + 0x50;
    if (c < 0x430)
        return c + 0x20;
    if (PairedEvenUpper(c, 0x460, 0x480) || PairedEvenUpper(c, 0x48A, 0x4BE))
        return c + 1;
    if (c == 0x4C0)
        return 0x4CF;
    if (c >= 0x4C1 && c <= 0x4CD && c % 2 == 1)
        return c + 1;
    if (PairedEvenUpper(c, 0x4D0, 0x52E))
        return c + 1;
    return c;
}

char32_t FoldLatinExtendedAdditional(char32_t c)
{
    if (c == 0x1E9B)
        return 0x1E61;
    if (c == 0x1E9E)
        return 0xDF;
    if (PairedEvenUpper(c, 0x1E00, 0x1E94) || PairedEvenUpper(c, 0x1EA0, 0x1EFE))
        return c + 1;
    return c;
}

}  // namespace

char32_t FoldCase(char32_t c)
{
    if (c < 0x250)
        return FoldLatin(c);
    if (c == 0x345)
        return 0x3B9;
    if (c >= 0x370 && c < 0x400)
        return FoldGreek(c);
    if (c >= 0x400 && c < 0x530)
        return FoldCyrillic(c);
    if (c >= 0x531 && c <= 0x556)  // Armenian
        return c + 0x30;
    if (c >= 0x1E00 && c < 0x1F00)
        return FoldLatinExtendedAdditional(c);
    return c;
}

std::string FoldName(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    bool ascii = true;
    for (char ch : name) {
        if (static_cast<unsigned char>(ch) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        for (char ch : name)
            out.push_back((ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch + 0x20) : ch);
        return out;
    }
    thread_local std::vector<char32_t> points;
    DecodeUtf8(name, points);
    for (char32_t c : points)
        AppendUtf8(FoldCase(c), out);
    return out;
}

}  // namespace platform::detail

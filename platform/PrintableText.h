#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

namespace detail {

// The length of the well-formed UTF-8 sequence at the start of text, or 0.
inline std::size_t Utf8SequenceLength(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;  // the second byte's range, narrower where
    unsigned char high = 0xBF;  // it would be overlong or a surrogate
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

// The code point of a well-formed sequence of two or three bytes.
inline char32_t CodePoint(std::string_view sequence)
{
    const auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(sequence[i])); };
    if (sequence.size() == 2)
        return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
    return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
}

// The characters that break a line without being a control character (the
// line and paragraph separators) and those that turn the text around them
// (the bidirectional marks, embeddings, overrides and isolates): a name
// "invoice\u202efdp.exe" would read as one ending in ".pdf".
inline bool BreaksOrTurnsLine(char32_t c)
{
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

inline void AppendCodePoint(std::string& out, char32_t c)
{
    constexpr const char* kDigits = "0123456789abcdef";
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kDigits[(c >> shift) & 0xF];
}

inline void AppendOctal(std::string& out, unsigned char c)
{
    out += '\\';
    out += static_cast<char>('0' + ((c >> 6) & 7));
    out += static_cast<char>('0' + ((c >> 3) & 7));
    out += static_cast<char>('0' + (c & 7));
}

}  // namespace detail

// A text as the program prints it to a terminal, a file or the Report list.
// File names are data: one with a newline must not start a line of its own,
// a carriage return must not hide its line, and an escape sequence must not
// work the terminal. So control characters (C0, DEL and the C1 range) and
// bytes that are no UTF-8 are shown escaped as ls -b shows them: \n, \r, \t
// and the like by letter, others as three octal digits (ESC is \033), and
// a backslash as \\, so that what is shown reads back to one name only.
// The characters that break or turn a line around (BreaksOrTurnsLine) are
// shown by their code point, \u202e, as a line's reader must see them.
inline std::string PrintableText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
            ++at;
            continue;
        }
        if (c >= 0x80) {
            const std::size_t length = detail::Utf8SequenceLength(text.substr(at));
            // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F.
            const bool c1 = length == 2 && c == 0xC2 && static_cast<unsigned char>(text[at + 1]) <= 0x9F;
            if (length != 0 && !c1) {
                const std::string_view sequence = text.substr(at, length);
                if (length <= 3 && detail::BreaksOrTurnsLine(detail::CodePoint(sequence)))
                    detail::AppendCodePoint(out, detail::CodePoint(sequence));
                else
                    out.append(sequence);
                at += length;
                continue;
            }
            const std::size_t bad = c1 ? 2 : 1;
            for (std::size_t i = 0; i < bad; ++i)
                detail::AppendOctal(out, static_cast<unsigned char>(text[at + i]));
            at += bad;
            continue;
        }
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\a': out += "\\a"; break;
        case '\b': out += "\\b"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\v': out += "\\v"; break;
        case '\f': out += "\\f"; break;
        case '\r': out += "\\r"; break;
        default: detail::AppendOctal(out, c); break;
        }
        ++at;
    }
    return out;
}

}  // namespace platform

#include "options/IntegerText.h"

#include "platform/FormatText.h"

#include <charconv>

std::int32_t StrToInt(const std::string& text)
{
    const char* first = text.data();
    const char* last = text.data() + text.size();
    while (first != last && *first == ' ')
        ++first;
    // from_chars takes a minus but no plus.
    if (first != last && *first == '+' && first + 1 != last && first[1] != '-')
        ++first;
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last) {
        throw EConvertError(platform::FormatText(kNotValidIntegerText, {text}));
    }
    return value;
}

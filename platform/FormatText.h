#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace platform {

// The program's message patterns hold "%s" where a value goes: each "%s" of
// pattern, from the left, takes the next of values. Text that a value brings
// in is never searched again, and a "%s" without a value stays as it is.
inline std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> values)
{
    std::string text(pattern);
    std::size_t from = 0;
    for (const std::string_view value : values) {
        const std::size_t at = text.find("%s", from);
        if (at == std::string::npos)
            break;
        text.replace(at, 2, value);
        from = at + value.size();
    }
    return text;
}

}  // namespace platform

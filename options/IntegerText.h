#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// The failure text of a number conversion; "%s" stands for the text.
inline constexpr char kNotValidIntegerText[] = "'%s' is not a valid integer value";

// The error of a text that is no integer.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The 32-bit integer a decimal text stands for: leading blanks, an optional
// sign, digits, nothing after them. Throws EConvertError otherwise.
std::int32_t StrToInt(const std::string& text);

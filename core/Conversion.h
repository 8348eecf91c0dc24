#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora {

/// An attribute value that could not be converted; the message names the attribute and the value.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Reads an optionally signed run of decimal digits that fits in 32 bits signed.
/// Throws ConversionError naming `attribute` and `value` otherwise (the empty text included).
std::int32_t ParseInteger(std::string_view attribute, std::string_view value);

/// Reads "True"/"False" in any letter case, or a decimal number such as "1", "0.0" or "-2.5e3" (zero is false).
/// Throws ConversionError naming `attribute` and `value` otherwise (the empty text included).
bool ParseBoolean(std::string_view attribute, std::string_view value);

/// "True" or "False".
inline const char* BooleanText(bool value) {
    return value ? "True" : "False";
}

} // namespace velmora

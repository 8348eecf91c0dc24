#include "Conversion.h"

#include <charconv>
#include <limits>

namespace velmora {
namespace {

std::string Describe(std::string_view attribute, std::string_view value, std::string_view problem) {
    std::string message = "Attribute \"";
    message += attribute;
    message += "\": \"";
    message += value;
    message += "\" ";
    message += problem;
    return message;
}

// An optional "+" or "-" followed by at least one decimal digit and nothing else.
bool IsIntegerText(std::string_view value) {
    std::size_t i = 0;
    if (!value.empty() && (value[0] == '+' || value[0] == '-')) {
        i = 1;
    }
    if (i == value.size()) {
        return false;
    }
    for (; i < value.size(); ++i) {
        if (value[i] < '0' || value[i] > '9') {
            return false;
        }
    }
    return true;
}

// A decimal number: an optional sign, digits with an optional fraction (at least one digit in all), an optional
// exponent ("1", "-0.5", ".5", "2.", "1e3"). Sets `zero` to whether its digits before the exponent are all 0.
bool IsNumberText(std::string_view value, bool& zero) {
    std::size_t i = 0;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    zero = true;
    bool point = false;
    for (; i < value.size(); ++i) {
        const char c = value[i];
        if (c >= '0' && c <= '9') {
            ++digits;
            zero = zero && c == '0';
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (i < value.size() && (value[i] == 'e' || value[i] == 'E')) {
        ++i;
        if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
            ++i;
        }
        const std::size_t start = i;
        while (i < value.size() && value[i] >= '0' && value[i] <= '9') {
            ++i;
        }
        if (i == start) {
            return false;
        }
    }
    return i == value.size();
}

// `word` is in lower-case ASCII letters.
bool EqualsIgnoringCase(std::string_view text, std::string_view word) {
    if (text.size() != word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((text[i] | 0x20) != word[i]) {
            return false;
        }
    }
    return true;
}

} // namespace

std::int32_t ParseInteger(std::string_view attribute, std::string_view value) {
    if (!IsIntegerText(value)) {
        throw ConversionError(Describe(attribute, value, "is not an integer"));
    }
    // from_chars takes no "+".
    const std::string_view digits = value[0] == '+' ? value.substr(1) : value;
    std::int32_t result = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), result);
    if (error == std::errc::result_out_of_range) {
        throw ConversionError(Describe(attribute, value, "is outside the 32-bit integer range"));
    }
    if (error != std::errc() || end != digits.data() + digits.size()) {
        throw ConversionError(Describe(attribute, value, "is not an integer"));
    }
    return result;
}

bool ParseBoolean(std::string_view attribute, std::string_view value) {
    if (EqualsIgnoringCase(value, "true")) {
        return true;
    }
    if (EqualsIgnoringCase(value, "false")) {
        return false;
    }
    // Any number, of any size: only whether one of its digits is not zero matters.
    if (bool zero = true; IsNumberText(value, zero)) {
        return !zero;
    }
    throw ConversionError(Describe(attribute, value, "is not a Boolean (\"True\", \"False\" or a number)"));
}

} // namespace velmora

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
    if (IsIntegerText(value)) {
        // Any number of digits: only whether one of them is not zero matters.
        return value.find_first_not_of("+-0") != std::string_view::npos;
    }
    throw ConversionError(Describe(attribute, value, "is not a Boolean (\"True\", \"False\" or a number)"));
}

} // namespace velmora

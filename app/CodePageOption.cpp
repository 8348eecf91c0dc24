#include "CodePageOption.h"

#include "core/TextCodec.h"

#include <charconv>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora {
namespace {

// The locale that decides how characters are read, as the C library picks it.
std::string_view CharacterLocale() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "C";
}

int ParseCodePage(std::string_view text) {
    int codePage = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), codePage);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !CanReadCodePage(codePage)) {
        throw std::invalid_argument(std::string(kCodePageOption) + " " + std::string(text) +
                                    ": not a Windows code page this system can read (for example 1250, 1251, 1253, "
                                    "932 or 936)");
    }
    return codePage;
}

} // namespace

int ChooseLegacyCodePage(int argc, char** argv) {
    const std::string_view option = kCodePageOption;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == option) {
            return ParseCodePage(i + 1 < argc ? std::string_view(argv[i + 1]) : std::string_view());
        }
        if (argument.starts_with(option) && argument.size() > option.size() && argument[option.size()] == '=') {
            return ParseCodePage(argument.substr(option.size() + 1));
        }
    }
    // A system without the locale's converter reads such texts as before.
    const int codePage = AnsiCodePageOfLocale(CharacterLocale());
    return CanReadCodePage(codePage) ? codePage : 1252;
}

} // namespace velmora

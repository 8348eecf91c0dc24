#include "AutostartEntry.h"

#include "core/Version.h"

namespace velmora {
namespace {

/// The characters that make an Exec argument need quotes.
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";

/// The value of `key` on the entry's line "key=value" (spaces around "=" allowed); empty when there is none.
std::string_view Value(std::string_view text, std::string_view key) {
    std::string_view found;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.substr(0, key.size()) != key) {
            continue;
        }
        line.remove_prefix(key.size());
        while (!line.empty() && line.front() == ' ') {
            line.remove_prefix(1);
        }
        if (line.empty() || line.front() != '=') {
            continue;
        }
        found = line.substr(1);
        while (!found.empty() && (found.front() == ' ' || found.back() == ' ' || found.back() == '\r')) {
            found = found.front() == ' ' ? found.substr(1) : found.substr(0, found.size() - 1);
        }
    }
    return found;
}

} // namespace

std::string DesktopExecArgument(std::string_view argument) {
    const bool quoted = argument.empty() || argument.find_first_of(kReserved) != std::string_view::npos;
    std::string exec = quoted ? "\"" : "";
    for (const char c : argument) {
        if (quoted && (c == '"' || c == '`' || c == '$' || c == '\\')) {
            exec += '\\';
        }
        exec += c == '%' ? std::string("%%") : std::string(1, c);
    }
    if (quoted) {
        exec += '"';
    }
    // The string value's own escapes come on top of the quoting.
    std::string value;
    for (const char c : exec) {
        switch (c) {
        case '\\':
            value += "\\\\";
            break;
        case '\n':
            value += "\\n";
            break;
        case '\t':
            value += "\\t";
            break;
        case '\r':
            value += "\\r";
            break;
        default:
            value += c;
        }
    }
    return value;
}

std::string AutostartEntryText(std::string_view executable, bool inTray) {
    std::string exec = DesktopExecArgument(executable);
    if (inTray) {
        exec += std::string(" ") + kAutostartOption;
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Velmora\n"
           "Comment=Types stored text snippets on hotkeys\n"
           "Exec=" +
           exec +
           "\n"
           "Icon=" +
           std::string(kAppId) +
           "\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

TAutostartState ReadAutostartEntry(std::string_view text) {
    TAutostartState state;
    state.enabled = Value(text, "Hidden") != "true" && Value(text, "X-GNOME-Autostart-enabled") != "false";
    const std::string_view exec = Value(text, "Exec");
    const std::string_view option = kAutostartOption;
    for (std::size_t at = exec.find(option); at != std::string_view::npos; at = exec.find(option, at + 1)) {
        const std::size_t end = at + option.size();
        if (at > 0 && exec[at - 1] == ' ' && (end == exec.size() || exec[end] == ' ')) {
            state.inTray = true;
        }
    }
    return state;
}

} // namespace velmora

#pragma once

#include "platform/PasteClipboard.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

/// One target of an X selection as its owner gives it: the property's type, its format and its bytes (format 16
/// and 32 data as on the wire).
struct TX11Item {
    std::string type;
    std::uint8_t format = 8;
    std::string bytes;

    friend bool operator==(const TX11Item&, const TX11Item&) = default;
};

/// A selection's content: every target its owner offered, by the target's name; empty: no owner.
using TX11Items = std::map<std::string, TX11Item>;

/// Whether `target` asks about the selection rather than for its content (TARGETS, TIMESTAMP, MULTIPLE, ...): not
/// kept, answered by whoever owns the selection.
bool IsMetaTarget(std::string_view target);
/// Whether `target` asks for the content as text.
bool IsTextTarget(std::string_view target);
/// Whether a window's WM_CLASS property (instance and class, each ending in a zero byte) names a terminal
/// emulator, where Ctrl+V is not the paste key.
bool IsTerminalClass(std::string_view wmClass);

/// What a paste offers as X targets for `content` (PasteContent): each type as given, and the text also as TEXT and
/// as STRING (Latin-1, a character outside it as '?').
TX11Items PasteItems(const TClipboardContent& content);
/// The targets TARGETS lists for `items`: theirs, TARGETS and TIMESTAMP.
std::vector<std::string> ServedTargets(const TX11Items& items);
/// The bytes of each target, to judge the content by (MarkedSecret).
TClipboardContent ContentOf(const TX11Items& items);

/// Whether a request for `target` from `requestor` is the paste of the application whose window `pasteWindow` has
/// the focus: a request for text from a window of the same client (X resource ids of one client share the bits
/// outside `idMask`). A clipboard manager that reads each new content, and a TARGETS request, do not count.
/// `pasteWindow` 0: any request for text counts.
bool CountsAsPaste(std::string_view target, std::uint32_t requestor, std::uint32_t pasteWindow, std::uint32_t idMask);

} // namespace velmora

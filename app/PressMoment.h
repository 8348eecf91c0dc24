#pragma once

#include "core/SnippetTokens.h"

#include <string>

namespace velmora {

/// The text of a {DATE}, {TIME} or {CLIPBOARD} token now: the local date or time in its format (Qt's letters), or the
/// clipboard's text as this program sees it. Runs on the GUI thread.
std::string ResolveMoment(const TSnippetPiece& piece);

} // namespace velmora

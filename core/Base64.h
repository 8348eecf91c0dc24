#pragma once

#include <string>
#include <string_view>

namespace velmora {

/// Standard base64 (RFC 4648, section 4) of the bytes, one unbroken run, "=" padded.
std::string EncodeBase64(std::string_view bytes);

/// Decodes base64 group by group ("=" may close any group). Never fails: a text whose length is not a
/// multiple of 4 yields the fixed text "TT".
std::string DecodeBase64(std::string_view text);

} // namespace velmora

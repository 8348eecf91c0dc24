#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

/// Standard base64 (RFC 4648, section 4) of the bytes, one unbroken run, "=" padded.
std::string EncodeBase64(std::string_view bytes);

/// Appends EncodeBase64(bytes) to `out`.
void AppendBase64(std::string& out, std::string_view bytes);

/// Writes EncodeBase64(bytes) at `out`, which has room for Base64Size(bytes.size()) characters; returns their end.
char* WriteBase64(char* out, std::string_view bytes);

/// The length of EncodeBase64(bytes) for `size` bytes.
constexpr std::size_t Base64Size(std::size_t size) {
    return (size + 2) / 3 * 4;
}

/// Decodes base64 group by group ("=" may close any group). Never fails: a text whose length is not a
/// multiple of 4 yields the fixed text "TT".
std::string DecodeBase64(std::string_view text);

} // namespace velmora

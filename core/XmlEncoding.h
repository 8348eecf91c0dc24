#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

/// Whether the bytes start like UTF-16 or UTF-32: a byte order mark, or "<" in one of those forms.
bool LooksLikeWideUnicode(std::string_view bytes);

/// The UTF-16 or UTF-32 form of bytes that LooksLikeWideUnicode, as an iconv name with the byte order
/// ("UTF-16LE"...), and in `bomLength` the length of the byte order mark they start with (0 when none).
std::string WideEncoding(std::string_view bytes, std::size_t& bomLength);

/// The encoding named in the XML declaration at the start of an 8-bit document (a UTF-8 byte order mark before it
/// is skipped), or the empty text when there is no declaration or it names none.
std::string DeclaredEncoding(std::string_view bytes);

/// Whether the bytes of an 8-bit document that declares this encoding are parsed as UTF-8 without conversion:
/// no encoding, UTF-8 itself, or a UTF-16/UTF-32 name that the 8-bit bytes plainly contradict.
bool ReadsAsUtf8(std::string_view encoding);

/// Converts a document's bytes from the named encoding (or the iconv name Windows readers give it) to UTF-8. Throws
/// XmlError naming the encoding when it is not known, or when the bytes are not valid in it.
std::string ConvertToUtf8(std::string_view bytes, std::string_view encoding);

} // namespace velmora

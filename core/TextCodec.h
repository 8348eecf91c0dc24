#pragma once

#include <string>
#include <string_view>

namespace velmora {

/// Turns a snippet's bytes into Unicode code points: UTF-8 when the bytes are valid UTF-8, otherwise the legacy
/// code page (texts written on Windows in its ANSI code page). The one place where snippets are decoded, for showing
/// and for typing alike.
std::u32string TextToUnicode(std::string_view bytes);

/// The Windows code page in which bytes that are not UTF-8 are read; 1252 until SetLegacyCodePage.
int LegacyCodePage();

/// Reads bytes that are not UTF-8 in this Windows code page from now on. Called at start-up, before other threads
/// decode texts. Throws std::invalid_argument when the system cannot read that code page (see CanReadCodePage).
void SetLegacyCodePage(int codePage);

/// Whether the system can read texts in this Windows code page (1250, 1251, 932, 437, ...).
bool CanReadCodePage(int codePage);

/// The ANSI code page Windows uses for a locale given as POSIX names it ("ru_RU.UTF-8", "sr_RS@latin", "zh_TW"):
/// 1251 for Russian, Ukrainian, Bulgarian, Serbian and other Cyrillic languages, 1250 for Central European ones, 1253
/// Greek, 1254 Turkish, 1255 Hebrew, 1256 Arabic, 1257 Baltic, 1258 Vietnamese, 874 Thai, 932 Japanese, 936
/// Simplified and 950 Traditional Chinese, 949 Korean, and 1252 for any other (also "C" and "POSIX").
int AnsiCodePageOfLocale(std::string_view locale);

/// Reads bytes in a Windows code page that CanReadCodePage. A byte or sequence the code page does not define becomes
/// U+FFFD, except a single byte from 0x80 to 0x9F, which becomes the C1 control of the same value (as windows-1252's
/// five undefined bytes do).
std::u32string CodePageToUnicode(std::string_view bytes, int codePage);

/// Reads every byte as windows-1252; the five bytes that code page leaves undefined become U+0081, U+008D, U+008F,
/// U+0090 and U+009D.
std::u32string Windows1252ToUnicode(std::string_view bytes);

/// Turns Unicode code points into the bytes stored for a snippet (UTF-8).
std::string UnicodeToText(std::u32string_view text);
/// Appends the UTF-8 form of one character (not a surrogate, at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t code);

/// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

} // namespace velmora

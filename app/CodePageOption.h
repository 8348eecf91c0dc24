#pragma once

namespace velmora {

/// The command-line option that names the Windows code page of texts that are not UTF-8.
inline constexpr const char* kCodePageOption = "--code-page";

/// The code page in which texts that are not UTF-8 are read: the one "--code-page N" (or "--code-page=N") names,
/// else the ANSI code page Windows uses for the locale of LC_ALL, LC_CTYPE or LANG (the first one set; 1252 when the
/// system cannot read that one). Throws
/// std::invalid_argument, with a message for the user, when the option names no code page this system can read.
int ChooseLegacyCodePage(int argc, char** argv);

} // namespace velmora

#pragma once

#include "FileSystem.h"

#include <ctime>
#include <string>
#include <string_view>

namespace velmora {

/// Keeps the list text in a new file of the state folder, named after the local date and time `now`
/// ("mouses-2026-12-08-023015.xml", "-2", "-3"... when that name is taken), and notes it for the next start to tell
/// unless `tellNextStart` is false (the user was told already). Returns the file's path. Throws FileError.
std::string SaveRecoveryFile(IFileSystem& fs, std::string_view listText, std::time_t now, bool tellNextStart = true);

/// What the user is to be told about the lists kept by SaveRecoveryFile and not yet told of, or the empty text when
/// there are none. Throws FileError.
std::string RecoveryNotice(const IFileSystem& fs);

/// The user was told RecoveryNotice: it is not told again. Throws FileError.
void ForgetRecoveryNotice(IFileSystem& fs);

} // namespace velmora

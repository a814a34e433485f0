// Windows file names on a POSIX file system: CP932 names resolved to existing UTF-8 paths.
#pragma once

#include <string>

namespace win32 {

// The existing file a Windows program means by a CP932 name: converted with iconv (CP932, not
// SHIFT_JIS), '\\' taken as a separator (DBCS-aware: a 0x5C trail byte is not a separator), and
// where the name does not exist as spelled, matched segment by segment without regard to letter
// case. Returns the UTF-8 path, or empty when nothing matches.
std::string ResolveFileName(const char* cp932Name);

// The UTF-8 path a Windows program writes to by a CP932 name: the folder resolved as by
// ResolveFileName, the file itself matched without regard to letter case when it exists and
// kept as spelled when it does not. Empty when the folder does not exist or the name is not
// CP932.
std::string ResolveNewFileName(const char* cp932Name);

} // namespace win32

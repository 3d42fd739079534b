#pragma once
// The one place where text changes code page. Stored fields and written text files use
// Windows-1252; everything else in the program is UTF-8.

#include <string>
#include <string_view>

namespace base {

/// UTF-8 to Windows-1252. A character that Windows-1252 cannot hold, and every byte of
/// malformed UTF-8, becomes '_'.
std::string ToAnsi(std::string_view utf8);

/// Windows-1252 to UTF-8. The five bytes that Windows-1252 leaves undefined map to the
/// control characters of the same value, so that ToAnsi(FromAnsi(x)) == x for every x.
std::string FromAnsi(std::string_view ansi);

}  // namespace base

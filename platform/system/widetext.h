#pragma once
// Text between the system's code pages and wide (UTF-16) strings, for the Windows DLLs: Winamp
// and the registry speak the ANSI code page, COM speaks wide strings, the libraries speak UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class CodePage : unsigned {
  Ansi = 0,      ///< the system's ANSI code page (CP_ACP)
  Utf8 = 65001,  ///< CP_UTF8
};

/// `text` in `from` as a wide string; nullopt when the system cannot convert it.
[[nodiscard]] std::optional<std::wstring> ToWide(std::string_view text, CodePage from);

/// `wide` in the code page `to`; nullopt when the system cannot convert it.
[[nodiscard]] std::optional<std::string> FromWide(std::wstring_view wide, CodePage to);

}  // namespace platform

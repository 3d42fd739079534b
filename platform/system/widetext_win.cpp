#include <windows.h>

#include "platform/system/widetext.h"

namespace platform {

std::optional<std::wstring> ToWide(std::string_view text, CodePage from) {
  if (text.empty()) return std::wstring();
  const auto page = static_cast<UINT>(from);
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(page, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  if (MultiByteToWideChar(page, 0, text.data(), size, wide.data(), length) <= 0) {
    return std::nullopt;
  }
  return wide;
}

std::optional<std::string> FromWide(std::wstring_view wide, CodePage to) {
  if (wide.empty()) return std::string();
  const auto page = static_cast<UINT>(to);
  const int size = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(page, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::nullopt;
  std::string text(static_cast<std::size_t>(length), '\0');
  if (WideCharToMultiByte(page, 0, wide.data(), size, text.data(), length, nullptr, nullptr) <= 0) {
    return std::nullopt;
  }
  return text;
}

}  // namespace platform

#include "base/text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>

#include "base/codepage.h"

namespace base {

std::string Trim(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

std::string_view CutAtNul(std::string_view text) {
  return text.substr(0, std::min(text.find('\0'), text.size()));
}

void PutField(std::span<std::uint8_t> out, std::size_t offset, std::size_t width,
              std::string_view utf8) {
  const std::string ansi = ToAnsi(utf8);
  for (std::size_t i = 0; i < width; ++i) {
    out[offset + i] = i < ansi.size() ? static_cast<std::uint8_t>(ansi[i]) : std::uint8_t{0x20};
  }
}

std::string GetField(std::span<const std::uint8_t> in, std::size_t offset, std::size_t width) {
  const auto field = in.subspan(offset, width);
  return FromAnsi(std::string_view(reinterpret_cast<const char*>(field.data()), field.size()));
}

double LeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const std::size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const auto digits = [&] {
    const std::size_t from = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i - from;
  };
  std::size_t count = digits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    count += digits();
  }
  if (count == 0) return 0.0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t mark = i++;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (digits() == 0) i = mark;
  }
  std::string_view number = text.substr(start, i - start);
  if (!number.empty() && number.front() == '+') number.remove_prefix(1);
  double value = 0.0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (ec == std::errc::result_out_of_range) return number.front() == '-' ? -HUGE_VAL : HUGE_VAL;
  return ec == std::errc() ? value : 0.0;
}

double RoundHalfEven(double value) {
  const double floor = std::floor(value);
  const double diff = value - floor;
  if (diff < 0.5) return floor;
  if (diff > 0.5) return floor + 1.0;
  return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

bool IsPathSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

std::string_view FileNameOf(std::string_view path) {
  const auto cut = std::find_if(path.rbegin(), path.rend(), IsPathSeparator);
  return path.substr(static_cast<std::size_t>(path.rend() - cut));
}

std::string WithTrailingSeparator(std::string_view folder) {
  std::string text(folder);
  if (text.empty() || !IsPathSeparator(text.back())) {
    text += static_cast<char>(std::filesystem::path::preferred_separator);
  }
  return text;
}

char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

std::string_view LastFour(std::string_view text) {
  return text.substr(text.size() < 4 ? 0 : text.size() - 4);
}

std::string_view DropLastFour(std::string_view text) {
  return text.size() < 4 ? std::string_view{} : text.substr(0, text.size() - 4);
}

bool IsReservedDeviceName(std::string_view name) {
  const std::string stem = AsciiUpper(name.substr(0, name.find('.')));
  static constexpr std::array<std::string_view, 4> kDevices = {"CON", "PRN", "AUX", "NUL"};
  const bool numbered = stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
                        stem[3] >= '1' && stem[3] <= '9';
  return numbered || std::find(kDevices.begin(), kDevices.end(), stem) != kDevices.end();
}

std::string_view CutUtf8(std::string_view text, std::size_t size) {
  if (text.size() <= size) return text;
  while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
  return text.substr(0, size);
}

}  // namespace base

namespace base {

std::string FitField(std::string_view utf8, std::size_t width) {
  std::string ansi = ToAnsi(utf8).substr(0, width);
  ansi.resize(width, ' ');
  return FromAnsi(ansi);
}

}  // namespace base

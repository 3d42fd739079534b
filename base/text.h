#pragma once
// Text rules shared by every part of the program: fixed-width fields, trimming,
// the leading-number conversion and file names of paths.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace base {

/// Removes leading and trailing spaces (only spaces, as the stored fields are padded with them).
std::string Trim(std::string_view text);

/// The text up to its first NUL character.
std::string_view CutAtNul(std::string_view text);

/// Writes a UTF-8 text into a Char[N] field: converted to Windows-1252, cut at N, space-padded.
void PutField(std::span<std::uint8_t> out, std::size_t offset, std::size_t width,
              std::string_view utf8);

/// Reads a Char[N] field as UTF-8, padding included.
std::string GetField(std::span<const std::uint8_t> in, std::size_t offset, std::size_t width);

/// The decimal number at the start of a text (leading spaces skipped, optional sign, digits,
/// fraction, exponent); the conversion stops at the first character that cannot belong to it.
/// No number gives 0.
double LeadingNumber(std::string_view text);

/// Rounds to the nearest whole number, halves to even.
double RoundHalfEven(double value);

/// Whether `c` separates folders in a path: "/" everywhere, and "\" as well on Windows.
bool IsPathSeparator(char c);

/// The text after the last path separator.
std::string_view FileNameOf(std::string_view path);

/// `folder` ending in a path separator: the platform's own is added unless one is there already.
std::string WithTrailingSeparator(std::string_view folder);

/// ASCII case folding; other bytes (UTF-8 and Windows-1252 letters) stay as they are, whatever
/// the locale.
char AsciiUpper(char c);
char AsciiLower(char c);
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);

/// Whether Windows takes `name` for a device (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, in any
/// case, with or without an extension), so that no file or folder of that name can be made.
bool IsReservedDeviceName(std::string_view name);

/// A UTF-8 text cut to at most `size` bytes, never inside a character.
std::string_view CutUtf8(std::string_view text, std::size_t size);

/// The last four characters of a text (an extension with its dot); the whole text when shorter.
std::string_view LastFour(std::string_view text);

/// The text without its last four characters; nothing when it is shorter.
std::string_view DropLastFour(std::string_view text);

}  // namespace base

namespace base {

/// A text as it reads back from a Char[N] field: converted, cut at N, space-padded.
std::string FitField(std::string_view utf8, std::size_t width);

}  // namespace base

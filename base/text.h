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

/// The text after the last path separator: "/" everywhere, and "\" as well on Windows.
std::string_view FileNameOf(std::string_view path);

}  // namespace base

namespace base {

/// A text as it reads back from a Char[N] field: converted, cut at N, space-padded.
std::string FitField(std::string_view utf8, std::size_t width);

}  // namespace base

#pragma once
// Small text rules of album composition: the number test, the case-blind comparison of list
// texts, and the pieces of a track's file name.

#include <optional>
#include <string>
#include <string_view>

namespace compose {

/// True when the text is a decimal number: optional spaces, an optional sign, digits with an
/// optional decimal point (at least one digit), optional spaces.
bool IsNumeric(std::string_view text);

/// Equal without regard to letter case (ASCII and the Latin-1 letters of UTF-8), as the list
/// controls compare their entries.
bool SameText(std::string_view a, std::string_view b);

/// True when the text, after leading spaces, begins with a decimal number ("3.mp3", " 07 ").
bool StartsWithNumber(std::string_view text);

/// The track number of a file name for the folder sort: the leading number of the first piece
/// between "-" that begins with one ("x - 3.mp3" gives 3), rounded half to even. A piece whose
/// value does not fit -32768..32767 does not count. 0 when no piece gives one.
int TrackNumberOf(std::string_view fileName);

/// The key by which a lyrics file is matched to a track: the piece after the last "-" (the
/// whole name when there is none), without its last four characters, upper-cased, trimmed.
std::string TitleKey(std::string_view fileName);

}  // namespace compose

#pragma once
// Small routines the player, the web view and the CUE sheet share: time texts, random track
// choice, the temporary folder and the existence test of paths.

#include <filesystem>
#include <string>
#include <string_view>

namespace webview {

/// Minutes and seconds of a time in seconds, fractions cut: "00:00", "01:05", "62:05".
/// Minutes take a leading "0" below 10; more than 99 minutes just widen the text.
std::string FormatSeconds(double seconds);

/// A whole number in decimal with a leading "0" below 10: "05", "10", "125".
std::string TwoDigitText(long long value);

/// Seeds the generator behind RandomInt from the clock.
void SeedRandomFromClock();

/// A whole number from low to high (both included), drawn as low + whole part of
/// (r * (high - low + 1)) with r uniform in [0, 1).
int RandomInt(int low, int high);

/// The system's temporary folder as UTF-8, absolute, ending in the platform's separator: an
/// existing, writable folder (TMPDIR when it names one, else the system's default). Empty when
/// there is none; nothing may then be written.
std::string TempFolder();

/// The roots of the logical drives, lower-cased: "a:\c:\d:\" on Windows, "/" elsewhere
/// (one root holds every path).
std::string LogicalDriveList();

/// The drive type of a path's drive, 1 to 6 as Windows numbers them; 0 for an empty path
/// or an unknown drive. Elsewhere an absolute path is on a fixed drive (3).
int DriveTypeOf(std::string_view path);

/// True when the path names an existing file or folder on a present drive. Spaces around
/// the path and one trailing separator are ignored; "c:" alone names the drive.
bool PathExists(std::string_view path);

/// The program's data folder (help page, "vrnprog2.gif") for a program in `programFolder`:
/// share/lyrabinder/data of an installation when it exists, else <build>/data of the build tree.
std::filesystem::path ProgramDataFolder(const std::filesystem::path& programFolder);

}  // namespace webview

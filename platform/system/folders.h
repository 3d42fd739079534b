#pragma once
// Where things are on this system: the temporary folder, drives, the existence of paths and the
// program's own folders.

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

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

/// The folder of the running executable; empty when the system cannot tell (never the working
/// folder: libraries are loaded from here).
std::filesystem::path ProgramFolder();

/// The program's data folder (help page, "vrnprog2.gif") for a program in `programFolder`:
/// share/lyrabinder/data of an installation when it exists, else <build>/data of the build tree.
std::filesystem::path ProgramDataFolder(const std::filesystem::path& programFolder);

}  // namespace platform

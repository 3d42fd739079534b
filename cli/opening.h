#pragma once
// Opening an album or archive for the command line: read-only, never written to.

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "album/archive.h"
#include "webview/cuesheet.h"

namespace cli {

/// The running program's data folder.
std::string ProgramDataFolder();

/// Runs a program found on the PATH with its arguments; true when it ran and succeeded.
bool RunProgram(std::vector<std::string> arguments);

/// A text for the terminal: control characters (C0, DEL and C1) and the backslash shown escaped
/// as ls -b does ("\n", "\033", "\\"), so that no name or tag can move the cursor, change
/// the screen or fake a line of output.
std::string TerminalText(std::string_view text);

/// Memory freed by a picture's preview is kept for the next rather than handed back: previews
/// take pictures of a few MB on helper threads, and fresh memory costs a page fault per page.
void KeepPictureMemory();

/// Opens `path` read-only; on failure prints why to stderr and returns nothing.
std::unique_ptr<base::FileSource> OpenSource(const std::string& path);

struct OpenedFile {
  album::Archive archive;
};

/// Opens `path` read-only; on failure prints the message to stderr and returns false.
bool OpenForReading(const std::string& path, OpenedFile& opened);

/// How far writing an album's CUE sheet came.
enum class CueOpening { Ok, CannotOpen, Damaged };

struct AlbumCue {
  CueOpening opening = CueOpening::Ok;
  std::string error;          ///< the system's reason when the album cannot be opened
  webview::CueResult result;  ///< the writing's outcome once the album was read
};

/// Opens the album at `path` as every command does (tag, directory, pictures and lyrics) and
/// writes its CUE sheet beside it, asking `confirmReplace` about an existing sheet.
[[nodiscard]] AlbumCue WriteAlbumCue(const std::string& path,
                                     const webview::ReplaceQuestion& confirmReplace);

}  // namespace cli

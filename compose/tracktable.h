#pragma once
// The details window's work apart from the window: the track table with its proposals, the
// pre-write check, the required fields and the output name.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "album/albumformat.h"
#include "album/albumwriter.h"
#include "base/progress.h"
#include "compose/trackreading.h"
#include "media/mediadevice.h"

namespace compose {

inline constexpr std::string_view kComplete = "Complete";
inline constexpr std::string_view kIncomplete = "Incomplete!";
inline constexpr std::string_view kEntriesRequiredMessage =
    "All Entries Must Be Filled To Continue";
inline constexpr std::string_view kAlbumCreatedMessage = "Album Created Successfully !";
inline constexpr std::string_view kAlbumSuffix = " _LB.MP3";

/// What the details window shows when it opens.
struct PreparedAlbum {
  /// One entry per MP3 of the contents list, in list order: PlayLength (ms, 0 when unknown),
  /// FileName (after the last "/") and the guessed SongTitle. AudioBytes is left 0.
  std::vector<album::TrackEntry> trackTable;
  /// One track line per entry of the track table, unticked.
  std::vector<std::string> trackLines;
  /// Album names found, and the proposed album title, artist and year.
  DetailsProposal proposal;
  std::string completeness = std::string(kComplete);
  std::string tracks;  ///< the number of tracks, in decimal digits
};

/// Reads every MP3 of `contents` in list order: its playing time through `device` (the length
/// query), its file name and its song title and line (ReadTrackFile).
PreparedAlbum PrepareTrackTable(const std::vector<std::string>& contents,
                                media::MediaDevice& device, const base::Progress& progress = {});

/// The pre-write check's answer.
enum class TrackTableStatus {
  Ok,
  ZeroLength,  ///< a track's playing time is 0: it is no standard MP3
};

struct TrackTableCheck {
  TrackTableStatus status = TrackTableStatus::Ok;
  std::size_t index = 0;  ///< the first track of length 0
  std::string message;    ///< "Non-standard file detected : " + name + " ** Aborting Now **"
  bool ok() const { return status == TrackTableStatus::Ok; }
};

/// Fails at the first track whose PlayLength is 0.
[[nodiscard]] TrackTableCheck CheckTrackTable(const std::vector<album::TrackEntry>& trackTable);

/// The required fields: album title, artist and year are not empty.
bool DetailsComplete(const album::AlbumDetails& details);

/// The name the save dialog proposes: artist + " - " + album title + " _LB.MP3".
std::string ProposedAlbumFileName(std::string_view artist, std::string_view albumTitle);

/// ProposedAlbumFileName as one plain file name: a "/" of the details ("AC/DC") becomes "_" and
/// the rest is made safe to create inside a folder.
std::string ProposedAlbumFileNameOnDisk(std::string_view artist, std::string_view albumTitle);

/// The album file name for a chosen name: unchanged when its upper-cased text contains
/// "_LB.MP3"; otherwise its extension (a last four characters starting with ".") dropped, the
/// rest trimmed and " _LB.MP3" appended. "My Album.mp3" gives "My Album _LB.MP3".
std::string AlbumOutputName(std::string_view chosen);

/// The details the writer needs from the window's fields and the ticked track lines.
std::vector<album::TitleCorrection> TitleCorrections(const std::vector<std::string>& trackLines,
                                                     const std::vector<bool>& ticked);

}  // namespace compose

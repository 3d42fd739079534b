#include "compose/tracktable.h"

#include <algorithm>

#include "album/archive.h"
#include "base/text.h"
#include "compose/textrules.h"

namespace compose {

PreparedAlbum PrepareTrackTable(const std::vector<std::string>& contents,
                                media::MediaDevice& device, const base::Progress& progress) {
  PreparedAlbum prepared;
  int total = 0;
  for (const std::string& item : contents) total += album::KindOf(item) == album::ItemKind::Track;
  int done = 0;
  for (const std::string& item : contents) {
    if (album::KindOf(item) != album::ItemKind::Track) continue;
    album::TrackEntry entry;
    entry.PlayLength = media::QueryPlayLength(device, item);
    entry.FileName = std::string(base::FileNameOf(item));
    TrackReading reading = ReadTrackFile(item, prepared.proposal);
    entry.SongTitle = std::move(reading.songTitle);
    prepared.trackTable.push_back(std::move(entry));
    prepared.trackLines.push_back(std::move(reading.line));
    ++done;
    if (progress && !progress(done, total)) break;
  }
  prepared.tracks = std::to_string(prepared.trackTable.size());
  return prepared;
}

TrackTableCheck CheckTrackTable(const std::vector<album::TrackEntry>& trackTable) {
  TrackTableCheck check;
  for (std::size_t j = 0; j < trackTable.size(); ++j) {
    if (trackTable[j].PlayLength != 0) continue;
    check.status = TrackTableStatus::ZeroLength;
    check.index = j;
    check.message =
        "Non-standard file detected : " + base::Trim(base::CutAtNul(trackTable[j].FileName)) +
        " ** Aborting Now **";
    break;
  }
  return check;
}

bool DetailsComplete(const album::AlbumDetails& details) {
  return !details.albumTitle.empty() && !details.artist.empty() && !details.year.empty();
}

std::string ProposedAlbumFileName(std::string_view artist, std::string_view albumTitle) {
  return std::string(artist) + " - " + std::string(albumTitle) + std::string(kAlbumSuffix);
}

std::string ProposedAlbumFileNameOnDisk(std::string_view artist, std::string_view albumTitle) {
  std::string proposed = ProposedAlbumFileName(artist, albumTitle);
  std::replace(proposed.begin(), proposed.end(), '/', '_');
  return album::SafeFileName(proposed);
}

std::string AlbumOutputName(std::string_view chosen) {
  if (album::IsAlbumFileName(chosen)) return std::string(chosen);
  // Only an extension is dropped: a name typed without one keeps all of its characters.
  std::string_view stem = chosen;
  if (stem.size() >= 4 && stem[stem.size() - 4] == '.') stem = base::DropLastFour(stem);
  return base::Trim(stem) + std::string(kAlbumSuffix);
}

std::vector<album::TitleCorrection> TitleCorrections(const std::vector<std::string>& trackLines,
                                                     const std::vector<bool>& ticked) {
  std::vector<album::TitleCorrection> corrections;
  for (std::size_t j = 0; j < trackLines.size(); ++j) {
    corrections.push_back({j < ticked.size() && ticked[j], trackLines[j]});
  }
  return corrections;
}

}  // namespace compose

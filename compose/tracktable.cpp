#include "compose/tracktable.h"

#include <algorithm>

#include "album/archive.h"
#include "base/text.h"
#include "compose/textrules.h"

namespace compose {

PreparedAlbum PrepareTrackTable(std::vector<album::AlbumItem>& items, media::MediaDevice& device,
                                const base::Progress& progress) {
  PreparedAlbum prepared;
  const auto isTrack = [](const album::AlbumItem& item) {
    return item.kind == album::ItemKind::Track;
  };
  const int total = static_cast<int>(std::count_if(items.begin(), items.end(), isTrack));
  int done = 0;
  for (album::AlbumItem& item : items) {
    if (!isTrack(item)) continue;
    item.track.PlayLength = media::QueryPlayLength(device, item.path);
    item.track.FileName = std::string(base::FileNameOf(item.path));
    TrackReading reading = ReadTrackFile(item.path, prepared.proposal);
    item.track.SongTitle = std::move(reading.songTitle);
    item.correction = {false, reading.line};
    prepared.trackLines.push_back(std::move(reading.line));
    ++done;
    if (progress && !progress(done, total)) break;
  }
  prepared.tracks = std::to_string(prepared.trackLines.size());
  return prepared;
}

TrackTableCheck CheckTrackTable(const std::vector<album::AlbumItem>& items) {
  TrackTableCheck check;
  std::size_t j = 0;
  for (const album::AlbumItem& item : items) {
    if (item.kind != album::ItemKind::Track) continue;
    if (item.track.PlayLength == 0) {
      check.status = TrackTableStatus::ZeroLength;
      check.index = j;
      check.message =
          "Non-standard file detected : " + base::Trim(base::CutAtNul(item.track.FileName)) +
          " ** Aborting Now **";
      break;
    }
    ++j;
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

}  // namespace compose

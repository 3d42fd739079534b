#include "compose/trackreading.h"

#include <array>

#include "album/albumwriter.h"
#include "base/id3v1.h"
#include "base/text.h"
#include "compose/textrules.h"

namespace compose {
namespace {

// An ID3v1 field: Windows-1252, cut at its first NUL, trimmed.
std::string TagField(std::span<const std::uint8_t> tag, base::id3v1::Field field) {
  const std::string text = base::id3v1::Get(tag, field);
  return base::Trim(base::CutAtNul(text));
}

bool HasAlbumName(const DetailsProposal& proposal, std::string_view name) {
  for (const std::string& known : proposal.albumNames) {
    if (SameText(known, name)) return true;
  }
  return false;
}

std::vector<std::string_view> SplitAtDashes(std::string_view text) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const auto dash = text.find('-', start);
    parts.push_back(text.substr(start, dash - start));
    if (dash == std::string_view::npos) return parts;
    start = dash + 1;
  }
}

}  // namespace

std::string TrackLine(std::string_view songTitle, std::string_view secondPart) {
  return std::string(songTitle) + std::string(album::kTrackLineSeparator) + std::string(secondPart);
}

TrackReading ReadTrack(std::string_view path, base::ByteSource& source, DetailsProposal& proposal) {
  TrackReading reading;
  using namespace base::id3v1;
  std::array<std::uint8_t, kSize> tag{};
  const std::int64_t size = source.Size();
  reading.fromTag = size >= static_cast<std::int64_t>(kSize) &&
                    source.ReadAt(size - static_cast<std::int64_t>(kSize), tag) && IsTag(tag);
  if (reading.fromTag) {
    reading.songTitle = TagField(tag, kTitle);
    const std::string artist = TagField(tag, kArtist);
    const std::string albumName = TagField(tag, kAlbum);
    const std::string year = TagField(tag, kYear);
    if (!albumName.empty()) {
      if (!HasAlbumName(proposal, albumName)) proposal.albumNames.push_back(albumName);
      if (proposal.albumTitle.empty()) proposal.albumTitle = albumName;
    }
    if (proposal.artist.empty()) proposal.artist = artist;
    if (proposal.year.empty()) proposal.year = year;
    reading.line = TrackLine(reading.songTitle, artist);
    return reading;
  }

  // No tag: "artist - title.mp3" or "artist - album - title.mp3".
  const std::vector<std::string_view> parts = SplitAtDashes(base::FileNameOf(path));
  const std::size_t u = parts.size() - 1;
  reading.songTitle = std::string(base::DropLastFour(base::Trim(parts[u])));
  reading.line = TrackLine(reading.songTitle, u >= 1 ? parts[u - 1] : kNoSecondPart);
  if (!IsNumeric(parts[0])) {
    if (u == 1 && proposal.artist.empty()) proposal.artist = base::Trim(parts[0]);
    if (u >= 2) {
      const std::string albumName = base::Trim(parts[1]);
      if (!albumName.empty() && !HasAlbumName(proposal, albumName)) {
        proposal.albumNames.push_back(albumName);
        if (proposal.albumTitle.empty()) proposal.albumTitle = albumName;
      }
    }
  }
  return reading;
}

TrackReading ReadTrackFile(std::string_view path, DetailsProposal& proposal) {
  std::string error;
  auto file = base::FileSource::Open(base::PathFromUtf8(path), error);
  if (file) return ReadTrack(path, *file, proposal);
  base::MemorySource nothing({});
  return ReadTrack(path, nothing, proposal);
}

}  // namespace compose

#include "compose/trackreading.h"

#include <array>
#include <cstring>

#include "album/albumwriter.h"
#include "base/text.h"
#include "compose/textrules.h"

namespace compose {
namespace {

constexpr std::size_t kId3v1Size = 128;

// An ID3v1 field: Windows-1252, cut at its first NUL, trimmed.
std::string TagField(std::span<const std::uint8_t> tag, std::size_t offset, std::size_t width) {
  const std::string text = base::GetField(tag, offset, width);
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
  std::array<std::uint8_t, kId3v1Size> tag{};
  const std::int64_t size = source.Size();
  reading.fromTag = size >= static_cast<std::int64_t>(kId3v1Size) &&
                    source.ReadAt(size - static_cast<std::int64_t>(kId3v1Size), tag) &&
                    std::memcmp(tag.data(), "TAG", 3) == 0;
  if (reading.fromTag) {
    reading.songTitle = TagField(tag, 3, 30);
    const std::string artist = TagField(tag, 33, 30);
    const std::string albumName = TagField(tag, 63, 30);
    const std::string year = TagField(tag, 93, 4);
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
  reading.songTitle = std::string(DropLastFour(base::Trim(parts[u])));
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

#include "album/albumwrap.h"

#include <algorithm>
#include <array>

#include "base/bytes.h"
#include "base/codepage.h"
#include "base/text.h"

namespace album {
namespace {

std::string AnsiText(std::span<const std::uint8_t> bytes) {
  return base::FromAnsi(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace

bool AlbumWrapReader::IsAlbumWrap() {
  std::vector<std::uint8_t> header(static_cast<std::size_t>(kWrapHeaderSize));
  if (!m_source.ReadAt(0, header)) return false;
  const std::string_view text(reinterpret_cast<const char*>(header.data()), header.size());
  return text.find(kWrapMarker) != std::string_view::npos;
}

void AlbumWrapReader::ReadFrames() {
  // A frame record is 11 bytes: identifier, three bytes passed over, and a little-endian
  // length L; the text is the next L - 1 bytes up to a zero byte, which is consumed too.
  std::int64_t at = 10;
  const std::int64_t size = m_source.Size();
  for (int frame = 0; frame < 4; ++frame) {
    std::array<std::uint8_t, 11> record{};
    if (!m_source.ReadAt(at, record)) return;
    at += static_cast<std::int64_t>(record.size());
    const std::string id(record.begin(), record.begin() + 4);
    const std::int64_t length = base::GetLE32(record, 7);
    // The frames lie inside the header: a text that runs past it (or past the file) is
    // damage and ends the reading, so that a claimed length never decides what is read.
    const std::int64_t want = std::max<std::int64_t>(length - 1, 0);
    if (want > std::min(size, kWrapHeaderSize) - at) return;
    std::vector<std::uint8_t> text(static_cast<std::size_t>(want));
    if (!m_source.ReadAt(at, text)) return;
    const auto zero = std::find(text.begin(), text.end(), std::uint8_t{0});
    at += (zero == text.end()) ? want : (zero - text.begin()) + 1;
    const std::string value =
        AnsiText({text.data(), static_cast<std::size_t>(zero - text.begin())});
    if (id == "TIT2" || id == "TALB") {
      m_details.title = value;
    } else if (id == "TPE1") {
      m_details.artist = value;
    } else if (id == "COMM") {
      m_details.comment = value;
    } else {
      return;
    }
  }
}

std::string WrapItemTitle(std::string_view fileName) {
  const auto dash = fileName.rfind('-');
  return std::string(
      base::DropLastFour(dash == std::string_view::npos ? fileName : fileName.substr(dash + 1)));
}

ReadStatus AlbumWrapReader::ListItems() {
  std::array<std::uint8_t, kWrapCountSize> countBytes{};
  if (!m_source.ReadAt(kWrapHeaderSize, countBytes)) return ReadStatus::Damaged;
  m_countField = AnsiText(countBytes);
  const double count = base::RoundHalfEven(base::LeadingNumber(m_countField));
  const std::int64_t recordsOffset = kWrapHeaderSize + kWrapCountSize;
  const std::int64_t size = m_source.Size();
  if (!(count >= 1.0) || count > kMaxTracks ||
      count > static_cast<double>((size - recordsOffset) / kWrapRecordSize)) {
    return ReadStatus::Damaged;
  }
  const auto n = static_cast<std::int64_t>(count);
  m_audioOffset = recordsOffset + kWrapRecordSize * n;

  std::vector<std::uint8_t> records(static_cast<std::size_t>(kWrapRecordSize * n));
  if (!m_source.ReadAt(recordsOffset, records)) return ReadStatus::Damaged;
  std::vector<TrackEntry> tracks;
  std::int64_t audioBytes = 0;
  for (std::int64_t i = 0; i < n; ++i) {
    const std::string record = AnsiText(std::span(records).subspan(
        static_cast<std::size_t>(i * kWrapRecordSize), static_cast<std::size_t>(kWrapRecordSize)));
    std::vector<std::string_view> fields;
    std::string_view rest = record;
    for (auto cut = rest.find(kWrapMarker); cut != std::string_view::npos;
         cut = rest.find(kWrapMarker)) {
      fields.push_back(rest.substr(0, cut));
      rest.remove_prefix(cut + kWrapMarker.size());
    }
    fields.push_back(rest);
    if (fields.size() < 3) return ReadStatus::Damaged;
    const double bytes = base::RoundHalfEven(base::LeadingNumber(fields[0]) * 10000.0);
    if (!(bytes >= 0.0) || bytes > static_cast<double>(size - m_audioOffset - audioBytes)) {
      return ReadStatus::Damaged;
    }
    TrackEntry track;
    track.AudioBytes = static_cast<std::int32_t>(bytes);
    track.FileName = base::Trim(fields[2]);
    track.SongTitle = base::FitField(WrapItemTitle(track.FileName), kSongTitleWidth);
    audioBytes += track.AudioBytes;
    tracks.push_back(std::move(track));
  }
  m_tracks = std::move(tracks);
  m_details.trackCount = static_cast<int>(n);
  m_lines.clear();
  for (const TrackEntry& track : m_tracks) m_lines.push_back(track.SongTitle);
  return ReadStatus::Ok;
}

std::vector<ArchiveItem> AlbumWrapReader::Items() const {
  std::vector<ArchiveItem> items;
  std::int64_t offset = m_audioOffset;
  for (const TrackEntry& track : m_tracks) {
    items.push_back({ItemKind::Track, track.FileName, base::Trim(track.SongTitle), 0, 0, offset,
                     track.AudioBytes});
    offset += track.AudioBytes;
  }
  return items;
}

}  // namespace album

#include "webview/lyrics.h"

namespace webview {

album::ReadStatus ReadLyrics(base::ByteSource& source, const album::AlbumReader& reader,
                             LyricTable& table) {
  const album::AlbumSections& sections = reader.Sections();
  table = {};
  if (sections.directoryOffset == sections.lyricsOffset) return album::ReadStatus::Ok;
  table.present = true;
  table.texts.assign(reader.TrackTable().size(), {});
  for (const album::LyricsItem& item : reader.LyricsTable()) {
    const int track = item.entry.TrackNumber;
    if (track < 1 || static_cast<std::size_t>(track) > table.texts.size()) {
      return album::ReadStatus::Damaged;
    }
    std::string text(static_cast<std::size_t>(item.entry.DataSize), '\0');
    const std::span<std::uint8_t> bytes(reinterpret_cast<std::uint8_t*>(text.data()), text.size());
    if (!source.ReadAt(item.dataOffset, bytes)) return album::ReadStatus::Damaged;
    table.texts[static_cast<std::size_t>(track - 1)] += text;
  }
  return album::ReadStatus::Ok;
}

LyricParts SplitLyrics(std::string_view text) {
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += c;
    }
  }
  if (lines.size() > 1 && lines.back().empty()) lines.pop_back();
  LyricParts parts;
  parts.heading = std::move(lines.front());
  parts.lines.assign(std::make_move_iterator(lines.begin() + 1),
                     std::make_move_iterator(lines.end()));
  return parts;
}

}  // namespace webview

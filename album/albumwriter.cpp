#include "album/albumwriter.h"

#include <algorithm>
#include <array>
#include <limits>

#include "base/codepage.h"
#include "base/fileio.h"
#include "base/id3v1.h"
#include "base/positions.h"
#include "base/text.h"

namespace album {
namespace {

constexpr std::int64_t kLongMax = std::numeric_limits<std::int32_t>::max();

// Equal as the stored Char[254] fields are equal.
std::string StoredName(std::string_view utf8) {
  return base::FitField(utf8, kFileNameWidth);
}

class Writer {
 public:
  Writer(base::ByteSink& out, std::string_view outputName, WriteResult& result)
      : m_out(out), m_outputName(outputName), m_result(result) {}

  bool Put(std::span<const std::uint8_t> bytes) {
    if (m_out.Write(bytes)) return true;
    return WriteFailed();
  }

  // The file being written and the system's cause ("No space left on device").
  bool WriteFailed() {
    return Fail(WriteStatus::WriteFailed,
                "Cannot Write The Album File : " + std::string(m_outputName) + " (" +
                    m_out.WriteError() + ")");
  }

  // A source that broke off, or the album that could not take its bytes.
  bool CopyFailed(base::CopyResult copy, const std::string& source) {
    if (copy == base::CopyResult::WriteFailed) return WriteFailed();
    return Fail(WriteStatus::SourceUnreadable, "Cannot Read " + source);
  }

  bool Fail(WriteStatus status, std::string error) {
    m_result.status = status;
    m_result.error = std::move(error);
    return false;
  }

  // A picture or lyrics entry; false ends the block. A file that cannot be opened is a
  // warning; a file that breaks off after its header was written is a failure of the album.
  template <typename Entry, typename Encode>
  bool PutEmbedded(const std::string& path, Entry entry, Encode encode, std::int64_t& blockBytes,
                   std::int64_t headerSize) {
    std::string error;
    auto source = base::FileSource::Open(base::PathFromUtf8(path), error);
    if (!source) {
      m_result.warnings.push_back("Cannot Read " + path + " (" + error + ")");
      return false;
    }
    const std::int64_t size = source->Size();
    if (size > kLongMax || blockBytes + headerSize + size > kLongMax) {
      return Fail(WriteStatus::TooLarge, "File Too Large For An Album : " + path);
    }
    entry.DataSize = static_cast<std::int32_t>(size);
    entry.FileName = std::string(base::FileNameOf(path));
    if (!Put(encode(entry))) return false;
    if (const base::CopyResult copy = base::CopyRange(*source, 0, size, m_out);
        copy != base::CopyResult::Ok) {
      return CopyFailed(copy, path);
    }
    blockBytes += headerSize + size;
    return true;
  }

 private:
  base::ByteSink& m_out;
  std::string_view m_outputName;
  WriteResult& m_result;
};

}  // namespace

std::string CorrectedTitle(std::string_view lineText) {
  const auto at = lineText.rfind(kTrackLineSeparator);
  if (at == std::string_view::npos) return std::string(lineText);
  return std::string(lineText.substr(at + kTrackLineSeparator.size()));
}

std::optional<std::uint8_t> TracksByte(std::string_view tracks) {
  const double value = base::RoundHalfEven(base::LeadingNumber(tracks));
  if (!(value >= 0.0 && value <= 255.0)) return std::nullopt;
  return static_cast<std::uint8_t>(value);
}

std::string TracksValueMessage(std::string_view tracks) {
  return "The Tracks Value Must Be A Number From 0 To 255 : " + std::string(tracks);
}

AlbumItem TrackItem(std::string path, std::int32_t firstFramePosition, TrackEntry track,
                    TitleCorrection correction) {
  return {ItemKind::Track, std::move(path), firstFramePosition, std::move(track),
          std::move(correction)};
}

AlbumItem FileItem(std::string path) {
  AlbumItem item;
  item.kind = KindOf(path);
  item.path = std::move(path);
  return item;
}

namespace {

// What is checked before anything is written; the tracks value as the tag's byte when the
// album may be written.
std::optional<std::uint8_t> CheckBeforeWriting(const std::vector<AlbumItem>& items,
                                               const AlbumDetails& details, WriteResult& result) {
  const auto tracks = std::count_if(items.begin(), items.end(), [](const AlbumItem& item) {
    return item.kind == ItemKind::Track;
  });
  if (tracks == 0 || tracks > kMaxTracks) {
    result.status = WriteStatus::TrackCount;
    result.error = "The Album Must Hold From 1 To " + std::to_string(kMaxTracks) + " Tracks";
    return std::nullopt;
  }
  // A tracks value must fit the tag's byte.
  const auto tracksByte = TracksByte(details.tracks);
  if (!tracksByte) {
    result.status = WriteStatus::TracksOutOfRange;
    result.error = TracksValueMessage(details.tracks);
  }
  return tracksByte;
}

}  // namespace

WriteResult WriteAlbumTo(base::ByteSink& out, std::string_view outputName,
                         const std::vector<AlbumItem>& items, const AlbumDetails& details,
                         const WriteProgress& progress) {
  WriteResult result;
  const std::optional<std::uint8_t> tracksByte = CheckBeforeWriting(items, details, result);
  if (!tracksByte) return result;
  std::vector<TrackEntry> trackTable;
  for (const AlbumItem& item : items) {
    if (item.kind == ItemKind::Track) trackTable.push_back(item.track);
  }
  std::string error;
  Writer writer(out, outputName, result);
  const int steps = static_cast<int>(items.size()) + 2;
  // A stop is honoured after each track, the bulk of the bytes; the output is then dropped.
  const auto setValue = [&](int value) { return !progress || progress(value, steps); };
  int value = 0;
  (void)setValue(value);

  // Audio: each MP3 from its first frame to its end.
  std::size_t k = 0;
  std::int64_t audioBytes = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].kind != ItemKind::Track) continue;
    const std::string& path = items[i].path;
    auto source = base::FileSource::Open(base::PathFromUtf8(path), error);
    if (!source) {
      writer.Fail(WriteStatus::SourceUnreadable, "Cannot Read " + path + " (" + error + ")");
      return result;
    }
    const std::int64_t start =
        std::max<std::int64_t>(base::OffsetOf(items[i].firstFramePosition), 0);
    const std::int64_t length = source->Size() - start;
    if (length < 0) {
      writer.Fail(WriteStatus::SourceUnreadable, "File Has Changed Since It Was Checked : " + path);
      return result;
    }
    audioBytes += length;
    if (length > kLongMax || audioBytes > kLongMax) {
      writer.Fail(WriteStatus::TooLarge, "File Too Large For An Album : " + path);
      return result;
    }
    trackTable[k].AudioBytes = static_cast<std::int32_t>(length);
    if (const base::CopyResult copy = base::CopyRange(*source, start, length, out);
        copy != base::CopyResult::Ok) {
      writer.CopyFailed(copy, path);
      return result;
    }
    ++k;
    value = static_cast<int>(i) + 1;
    if (!setValue(value)) {
      writer.Fail(WriteStatus::Stopped, "Stopped : " + std::string(outputName));
      return result;
    }
  }

  // Pictures, then lyrics, whatever their order in the list.
  std::int64_t pictureBytes = 0;
  for (const AlbumItem& item : items) {
    if (item.kind != ItemKind::Picture) continue;
    if (!writer.PutEmbedded(item.path, PictureEntry{}, EncodePictureEntry, pictureBytes,
                            kPictureHeaderSize)) {
      if (!result.ok()) return result;
      break;
    }
  }
  (void)setValue(++value);

  std::int64_t lyricsBytes = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].kind != ItemKind::Lyrics) continue;
    // The lyrics belong to the MP3 before them: the first track of that file name.
    LyricsEntry entry;
    if (i > 0) {
      const std::string key = StoredName(base::FileNameOf(items[i - 1].path));
      for (std::size_t j = 0; j < trackTable.size(); ++j) {
        if (StoredName(trackTable[j].FileName) == key) {
          entry.TrackNumber = static_cast<std::int16_t>(j + 1);
          break;
        }
      }
    }
    if (!writer.PutEmbedded(items[i].path, entry, EncodeLyricsEntry, lyricsBytes,
                            kLyricsHeaderSize)) {
      if (!result.ok()) return result;
      break;
    }
  }
  (void)setValue(++value);

  k = 0;
  for (const AlbumItem& item : items) {
    if (item.kind != ItemKind::Track) continue;
    if (item.correction.ticked) trackTable[k].SongTitle = CorrectedTitle(item.correction.lineText);
    if (!writer.Put(EncodeTrackEntry(trackTable[k]))) return result;
    ++k;
  }

  const std::int64_t dirBytes = static_cast<std::int64_t>(trackTable.size() * kTrackEntrySize);
  if (audioBytes + pictureBytes + lyricsBytes + dirBytes + static_cast<std::int64_t>(kTailSize) >
      kLongMax) {
    writer.Fail(WriteStatus::TooLarge, "The Album Would Be Larger Than 2 GB");
    return result;
  }
  const AlbumTrailer trailer{static_cast<std::int32_t>(dirBytes),
                             static_cast<std::int32_t>(pictureBytes),
                             static_cast<std::int32_t>(lyricsBytes)};
  if (!writer.Put(EncodeAlbumTrailer(trailer))) return result;

  AlbumTag tag;
  tag.Identifier = std::string(base::id3v1::kMarker);
  tag.Title = details.albumTitle;
  tag.Artist = details.artist;
  tag.Album = std::string(kProgramTitle);
  tag.Year = details.year;
  tag.Comment = details.completeness;
  tag.Track = *tracksByte;
  tag.Genre = kAlbumGenre;
  (void)writer.Put(EncodeAlbumTag(tag));
  return result;
}

WriteResult WriteAlbum(const std::filesystem::path& output, const std::vector<AlbumItem>& items,
                       const AlbumDetails& details, const WriteProgress& progress,
                       base::Replace replace) {
  WriteResult result;
  if (!CheckBeforeWriting(items, details, result)) return result;
  std::string error;
  auto file = base::AtomicFile::Create(output, error);
  if (!file) {
    result.status = WriteStatus::CannotCreate;
    result.error =
        "Cannot Create The Album File : " + base::Utf8FromPath(output) + " (" + error + ")";
    return result;
  }
  result = WriteAlbumTo(file->Sink(), base::Utf8FromPath(output), items, details, progress);
  if (!result.ok()) return result;
  if (!file->Commit(error, replace)) {
    result.status = file->TargetExisted() ? WriteStatus::TargetExists : WriteStatus::WriteFailed;
    result.error =
        file->TargetExisted()
            ? "The Album File Appeared While The Album Was Written, It Was Kept : " +
                  base::Utf8FromPath(output)
            : "Cannot Write The Album File : " + base::Utf8FromPath(output) + " (" + error + ")";
  }
  return result;
}

}  // namespace album

#include "album/archive.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "album/fileio.h"

namespace album {

OpenStatus OpenArchive(std::unique_ptr<ByteSource> source, AlbumDisplay& display,
                       const TagWriter& writeBack, Archive& archive) {
  AlbumReader album(*source);
  if (album.IsAlbum()) {
    if (OpenAlbum(album, display, writeBack) != ReadStatus::Ok) return OpenStatus::Unsupported;
    archive.format = ArchiveFormat::Album;
    archive.items = album.Items();
    archive.source = std::move(source);
    return OpenStatus::Ok;
  }
  AlbumWrapReader wrap(*source);
  if (!wrap.IsAlbumWrap()) return OpenStatus::Unsupported;
  wrap.ReadFrames(display);
  if (wrap.ListItems(display) != ReadStatus::Ok) return OpenStatus::Unsupported;
  archive.format = ArchiveFormat::AlbumWrap;
  archive.items = wrap.Items();
  archive.source = std::move(source);
  return OpenStatus::Ok;
}

OpenStatus OpenArchive(const std::filesystem::path& path, AlbumDisplay& display,
                       const TagWriter& writeBack, Archive& archive, std::string& error) {
  auto source = FileSource::Open(path, error);
  if (!source) return OpenStatus::CannotOpen;
  return OpenArchive(std::move(source), display, writeBack, archive);
}

std::string SafeFileName(std::string_view storedName) {
  // Only the last component counts, whichever separator the name was made with.
  const auto cut = storedName.find_last_of("/\\");
  std::string name(cut == std::string_view::npos ? storedName : storedName.substr(cut + 1));
  for (char& c : name) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos) c = '_';
  }
  // Windows drops trailing dots and spaces; "." and ".." would name a folder.
  for (auto it = name.rbegin(); it != name.rend() && (*it == '.' || *it == ' '); ++it) *it = '_';
  if (name.empty()) name = "_";
  std::string stem = name.substr(0, name.find('.'));
  for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  static constexpr std::array<std::string_view, 4> kDevices = {"CON", "PRN", "AUX", "NUL"};
  const bool numbered = stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
                        stem[3] >= '1' && stem[3] <= '9';
  if (numbered || std::find(kDevices.begin(), kDevices.end(), stem) != kDevices.end()) {
    name.insert(0, "_");
  }
  return name;
}

std::optional<std::filesystem::path> ExtractItem(ByteSource& source, const ArchiveItem& item,
                                                 const std::filesystem::path& folder,
                                                 std::string& error) {
  const std::filesystem::path target = folder / PathFromUtf8(SafeFileName(item.name));
  auto file = AtomicFile::Create(target, error);
  if (!file) {
    error = "cannot create " + Utf8FromPath(target) + ": " + error;
    return std::nullopt;
  }
  if (!CopyRange(source, item.offset, item.size, file->Sink())) {
    error = "cannot copy " + item.name + " to " + Utf8FromPath(target);
    return std::nullopt;
  }
  if (!file->Commit(error)) {
    error = "cannot write " + Utf8FromPath(target) + ": " + error;
    return std::nullopt;
  }
  return target;
}

}  // namespace album

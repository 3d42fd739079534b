#include "album/archive.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "base/fileio.h"
#include "base/text.h"

namespace album {

Archive OpenArchive(std::unique_ptr<base::ByteSource> source, const TagWriter& writeBack) {
  Archive archive;
  archive.status = OpenStatus::Unsupported;
  if (AlbumReader(*source).IsAlbum()) {
    AlbumContents album = OpenAlbum(*source, writeBack);
    if (!album.ok()) return archive;
    archive.status = OpenStatus::Ok;
    archive.format = ArchiveFormat::Album;
    archive.items = album.Items();
    archive.details = std::move(album.details);
    archive.lines = std::move(album.lines);
    archive.source = std::move(source);
    return archive;
  }
  AlbumWrapReader wrap(*source);
  if (!wrap.IsAlbumWrap()) return archive;
  wrap.ReadFrames();
  if (wrap.ListItems() != ReadStatus::Ok) return archive;
  archive.status = OpenStatus::Ok;
  archive.format = ArchiveFormat::AlbumWrap;
  archive.countText = wrap.CountField();
  archive.items = wrap.Items();
  archive.details = wrap.Details();
  archive.lines = wrap.Lines();
  archive.source = std::move(source);
  return archive;
}

Archive OpenArchive(const std::filesystem::path& path, const TagWriter& writeBack) {
  std::string error;
  auto source = base::FileSource::Open(path, error);
  if (!source) {
    Archive archive;
    archive.status = OpenStatus::CannotOpen;
    archive.error = std::move(error);
    return archive;
  }
  return OpenArchive(std::move(source), writeBack);
}

std::optional<ArchiveFormat> ArchiveFormatOf(const std::filesystem::path& path) {
  std::string error;
  const auto source = base::FileSource::Open(path, error);
  if (!source) return std::nullopt;
  if (AlbumReader(*source).IsAlbum()) return ArchiveFormat::Album;
  if (AlbumWrapReader(*source).IsAlbumWrap()) return ArchiveFormat::AlbumWrap;
  return std::nullopt;
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
  if (base::IsReservedDeviceName(name)) name.insert(0, "_");
  return name;
}

bool Extraction::Taken(const std::filesystem::path& target) const {
  if (std::find(m_written.begin(), m_written.end(), target) != m_written.end()) return true;
  // A name free on disk is neither the album nor a file written under another spelling of it
  // (a folder that ignores case).
  if (!base::NameTaken(target)) return false;
  if (m_source.IsFile(target)) return true;
  return std::any_of(m_written.begin(), m_written.end(),
                     [&target](const auto& written) { return base::SameFile(written, target); });
}

Extraction::Written Extraction::TargetFor(const ArchiveItem& item) const {
  const std::string name = SafeFileName(item.name);
  Written written{m_folder / base::PathFromUtf8(base::NumberedName(name, 1, m_nameLimit)), false};
  if (Taken(written.path)) {
    // A numbered name must be free on disk too: it is no file the user asked to replace.
    written.renamed = true;
    written.path = base::FreePath(
        m_folder, name, 2, [this](const std::filesystem::path& path) { return Taken(path); });
  }
  return written;
}

std::optional<Extraction::Written> Extraction::Extract(const ArchiveItem& item,
                                                       std::string& error) {
  bool existed = false;
  return Extract(item, error, existed);
}

std::optional<Extraction::Written> Extraction::Extract(const ArchiveItem& item, std::string& error,
                                                       bool& existed) {
  existed = false;
  Written written = TargetFor(item);
  const std::string target = base::Utf8FromPath(written.path);
  const bool present = base::NameTaken(written.path);
  if (present && m_replace == base::Replace::Never) {
    existed = true;
    error = target + " exists";
    return std::nullopt;
  }
  if (present && !base::MayReplace(written.path)) {
    existed = true;
    error = target + " is read-only; it is not replaced";
    return std::nullopt;
  }
  auto file = base::AtomicFile::Create(written.path, error);
  if (!file) {
    error = "cannot create " + target + ": " + error;
    return std::nullopt;
  }
  const base::CopyResult copy = base::CopyRange(m_source, item.offset, item.size, file->Sink());
  if (copy == base::CopyResult::ReadFailed) {
    error = "cannot read " + item.name + " from the album";
    return std::nullopt;
  }
  if (copy == base::CopyResult::WriteFailed) {
    error = "cannot write " + target + ": " + file->WriteError();
    return std::nullopt;
  }
  // Only a file that was there at the start and may be replaced is replaced; one that
  // appeared meanwhile is kept.
  if (!file->Commit(error, present ? base::Replace::Allowed : base::Replace::Never)) {
    existed = file->TargetExisted();
    error = existed ? target + " appeared meanwhile; it was kept"
                    : "cannot write " + target + ": " + error;
    return std::nullopt;
  }
  m_written.push_back(written.path);
  return written;
}

std::optional<std::filesystem::path> ExtractItem(base::ByteSource& source, const ArchiveItem& item,
                                                 const std::filesystem::path& folder,
                                                 std::string& error) {
  Extraction extraction(source, folder, base::Replace::Allowed);
  auto written = extraction.Extract(item, error);
  if (!written) return std::nullopt;
  return written->path;
}

}  // namespace album

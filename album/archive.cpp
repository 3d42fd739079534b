#include "album/archive.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <system_error>
#include <thread>

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

// An item copied ahead: where it was to go when it started, and its copy under way.
struct Extraction::Ahead {
  const ArchiveItem* item = nullptr;
  Target target;
  std::unique_ptr<base::AtomicFile> file;
  std::optional<base::KernelCopy> copy;
  std::jthread thread;  // last: joined before the file goes
};

Extraction::Extraction(base::ByteSource& source, std::filesystem::path folder,
                       base::Replace replace)
    : m_source(source),
      m_folder(std::move(folder)),
      m_replace(replace),
      m_nameLimit(base::NameLimit(m_folder)) {}

Extraction::~Extraction() = default;

bool Extraction::Taken(const std::filesystem::path& target,
                       const std::filesystem::path* pending) const {
  if (std::find(m_written.begin(), m_written.end(), target) != m_written.end()) return true;
  if (pending && *pending == target) return true;
  // A name free on disk is neither the album nor a file written under another spelling of it
  // (a folder that ignores case).
  if (!base::NameTaken(target)) return false;
  if (m_source.IsFile(target)) return true;
  return std::any_of(m_written.begin(), m_written.end(),
                     [&target](const auto& written) { return base::SameFile(written, target); });
}

Extraction::Written Extraction::TargetFor(const ArchiveItem& item) const {
  return TargetFor(item, nullptr);
}

Extraction::Written Extraction::TargetFor(const ArchiveItem& item,
                                          const std::filesystem::path* pending) const {
  const std::string name = SafeFileName(item.name);
  Written written{m_folder / base::PathFromUtf8(base::NumberedName(name, 1, m_nameLimit)), false};
  if (Taken(written.path, pending)) {
    // A numbered name must be free on disk too: it is no file the user asked to replace.
    written.renamed = true;
    written.path = base::FreePath(
        m_folder, name, 2, [this, pending](const auto& path) { return Taken(path, pending); });
  }
  return written;
}

std::optional<Extraction::Target> Extraction::Check(const ArchiveItem& item, std::string& error,
                                                    bool& existed,
                                                    const std::filesystem::path* pending) const {
  existed = false;
  Target target{TargetFor(item, pending), false};
  target.present = base::NameTaken(target.written.path);
  const std::string path = base::Utf8FromPath(target.written.path);
  if (target.present && m_replace == base::Replace::Never) {
    existed = true;
    error = path + " exists";
    return std::nullopt;
  }
  if (target.present && !base::MayReplace(target.written.path)) {
    existed = true;
    error = path + " is read-only; it is not replaced";
    return std::nullopt;
  }
  return target;
}

void Extraction::StartAhead(const ArchiveItem& next, const std::filesystem::path& pending) {
  // Only a copy inside the kernel runs beside the current one: read and write would share the
  // album's stream.
  std::FILE* album = m_source.Stream();
  if (album == nullptr || next.size <= 0 || !base::KernelCopy::Supported()) return;
  std::string error;
  bool existed = false;
  auto target = Check(next, error, existed, &pending);
  if (!target) return;
  auto ahead = std::make_unique<Ahead>();
  ahead->file = base::AtomicFile::Create(target->written.path, error);
  if (!ahead->file || ahead->file->Sink().Stream() == nullptr) return;
  ahead->item = &next;
  ahead->target = std::move(*target);
  ahead->copy.emplace(album, next.offset, next.size, ahead->file->Sink().Stream());
  try {
    ahead->thread = std::jthread([copy = &*ahead->copy] { copy->Run(); });
  } catch (const std::system_error&) {
    return;  // no thread to spare: the item is copied in its turn
  }
  m_ahead = std::move(ahead);
}

void Extraction::DropAhead() {
  m_ahead.reset();
}

std::optional<Extraction::Written> Extraction::Extract(const ArchiveItem& item,
                                                       std::string& error) {
  bool existed = false;
  return Extract(item, error, existed);
}

std::optional<Extraction::Written> Extraction::Extract(const ArchiveItem& item, std::string& error,
                                                       bool& existed, const ArchiveItem* next) {
  std::unique_ptr<Ahead> ahead = std::move(m_ahead);
  const std::optional<Target> target = Check(item, error, existed, nullptr);
  // A copy made ahead counts only where the item goes to the same file as it would now: the
  // earlier item may have failed, or taken the name under another spelling on a folder that
  // ignores case.
  if (ahead && (ahead->item != &item || !target || !(ahead->target == *target))) ahead.reset();
  if (!target) return std::nullopt;
  const Written& written = target->written;
  const std::string path = base::Utf8FromPath(written.path);
  std::unique_ptr<base::AtomicFile> file;
  std::int64_t copied = 0;
  if (ahead) {
    file = std::move(ahead->file);
  } else {
    file = base::AtomicFile::Create(written.path, error);
    if (!file) {
      error = "cannot create " + path + ": " + error;
      return std::nullopt;
    }
  }
  if (next) StartAhead(*next, written.path);
  if (ahead) {
    ahead->thread.join();
    copied = ahead->copy->Finish();
  }
  // What the kernel did not copy ahead is copied here as always.
  const base::CopyResult copy =
      base::CopyRange(m_source, item.offset + copied, item.size - copied, file->Sink());
  if (copy == base::CopyResult::ReadFailed) {
    error = "cannot read " + item.name + " from the album";
    return std::nullopt;
  }
  if (copy == base::CopyResult::WriteFailed) {
    error = "cannot write " + path + ": " + file->WriteError();
    return std::nullopt;
  }
  // Only a file that was there at the start and may be replaced is replaced; one that
  // appeared meanwhile is kept.
  if (!file->Commit(error, target->present ? base::Replace::Allowed : base::Replace::Never)) {
    existed = file->TargetExisted();
    error =
        existed ? path + " appeared meanwhile; it was kept" : "cannot write " + path + ": " + error;
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

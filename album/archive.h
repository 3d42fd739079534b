#pragma once
// Opening a file for extraction: an album, or else an AlbumWrap archive; and copying items out.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "album/albumreader.h"
#include "album/albumwrap.h"

namespace album {

enum class ArchiveFormat { Album, AlbumWrap };

enum class OpenStatus {
  Ok,
  CannotOpen,   ///< the file could not be opened for reading
  Unsupported,  ///< neither an album nor an AlbumWrap archive, or damaged
};

/// An opened album or archive: kept open for as long as its items are used.
struct Archive {
  OpenStatus status = OpenStatus::Ok;
  std::string error;  ///< why the file could not be opened (CannotOpen)
  ArchiveFormat format = ArchiveFormat::Album;
  std::unique_ptr<base::ByteSource> source;
  ShownDetails details;
  std::vector<std::string> lines;  ///< the item list, one line per item
  std::vector<ArchiveItem> items;
  std::string countText;  ///< an AlbumWrap archive's item count as stored (12 characters)

  [[nodiscard]] bool ok() const { return status == OpenStatus::Ok; }
};

/// Opens `path` read-only and reads it. `writeBack` receives the album tag's opened mark and
/// upgrade (empty: the file is never written).
[[nodiscard]] Archive OpenArchive(const std::filesystem::path& path, const TagWriter& writeBack);

/// The same for a source already open (tests, memory buffers).
[[nodiscard]] Archive OpenArchive(std::unique_ptr<base::ByteSource> source,
                                  const TagWriter& writeBack);

/// What `path` holds, from its bytes (an album's signature, an archive's marker) and not its
/// name: nothing for a file that is neither or cannot be read. Special files are refused
/// unread.
[[nodiscard]] std::optional<ArchiveFormat> ArchiveFormatOf(const std::filesystem::path& path);

/// A stored name made safe to create inside a chosen folder: no folders, drive letters,
/// "." or "..", characters Windows refuses, or reserved device names.
std::string SafeFileName(std::string_view storedName);

/// One extraction into a folder. Each item goes to folder/SafeFileName(item.name), shortened
/// to the folder's name limit. An older file of that name is replaced only as `replace` allows,
/// only once the copy is complete and never when the user may not write it; never the album
/// being read, nor an item written earlier in the same run: such an item gets the first free
/// base::NumberedName instead.
///
/// Given the item a run extracts next, Extract copies that item ahead on another thread while
/// it finishes its own (only where the kernel copies between the two files: the album's stream
/// is not shared). The next call keeps that copy only when the item would go to the same file
/// with the same checks now that the earlier one is done (or failed); otherwise it is dropped and
/// the item is extracted again, so the run's names, files and outcomes are those of one item
/// at a time.
class Extraction {
 public:
  Extraction(base::ByteSource& source, std::filesystem::path folder,
             base::Replace replace = base::Replace::Never);
  ~Extraction();
  Extraction(const Extraction&) = delete;
  Extraction& operator=(const Extraction&) = delete;

  struct Written {
    std::filesystem::path path;
    bool renamed = false;  ///< its own name was taken
  };

  /// Where `item` would go now: its own name, or a free numbered one (`renamed`) where the
  /// album or an item written earlier in this run has it.
  [[nodiscard]] Written TargetFor(const ArchiveItem& item) const;

  /// The path written, or nothing with `error` naming the file and the cause.
  /// `existed` tells that the cause is a file of that name that was not to be replaced.
  [[nodiscard]] std::optional<Written> Extract(const ArchiveItem& item, std::string& error);
  /// `next`: the item the run extracts after this one (the same object then), copied ahead.
  [[nodiscard]] std::optional<Written> Extract(const ArchiveItem& item, std::string& error,
                                               bool& existed, const ArchiveItem* next = nullptr);

  /// Drops the item copied ahead, if any (the run stopped before it): its file never appears.
  void DropAhead();

 private:
  // Where an item goes and whether a file of that name was there.
  struct Target {
    Written written;
    bool present = false;
    bool operator==(const Target& other) const {
      return written.path == other.written.path && written.renamed == other.written.renamed &&
             present == other.present;
    }
  };
  struct Ahead;

  // `pending`: the target of an item not committed yet, counted as written.
  bool Taken(const std::filesystem::path& target, const std::filesystem::path* pending) const;
  Written TargetFor(const ArchiveItem& item, const std::filesystem::path* pending) const;
  // The target, or nothing where the rules forbid writing it (`error`, `existed` as Extract).
  std::optional<Target> Check(const ArchiveItem& item, std::string& error, bool& existed,
                              const std::filesystem::path* pending) const;
  void StartAhead(const ArchiveItem& next, const std::filesystem::path& pending);

  base::ByteSource& m_source;
  std::filesystem::path m_folder;
  base::Replace m_replace;
  std::size_t m_nameLimit;
  std::vector<std::filesystem::path> m_written;
  std::unique_ptr<Ahead> m_ahead;
};

/// Extracts one item on its own (see Extraction), replacing a file the user may write.
/// Returns the path written, or nothing with
/// `error` set.
[[nodiscard]] std::optional<std::filesystem::path> ExtractItem(base::ByteSource& source,
                                                               const ArchiveItem& item,
                                                               const std::filesystem::path& folder,
                                                               std::string& error);

}  // namespace album

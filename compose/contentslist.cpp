#include "compose/contentslist.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "album/albumformat.h"
#include "base/fileio.h"
#include "base/text.h"
#include "compose/listentries.h"
#include "compose/textrules.h"

namespace compose {

using album::ItemKind;
using album::KindOf;

std::optional<std::vector<std::string>> FileSystemLister::PlainFileNames(std::string_view folder,
                                                                         std::string& error) const {
  std::error_code ec;
  std::filesystem::directory_iterator it(base::PathFromUtf8(folder), ec);
  if (ec) {
    error = ec.message();
    return std::nullopt;
  }
  std::vector<std::string> names;
  for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::string name = base::Utf8FromPath(it->path().filename());
    std::error_code typeError;
    if (name.starts_with('.') || !it->is_regular_file(typeError)) continue;
    names.push_back(std::move(name));
  }
  if (ec) {
    error = ec.message();
    return std::nullopt;
  }
  return names;
}

std::string_view OrderErrorMessage(OrderError error) {
  switch (error) {
    case OrderError::None:
      return {};
    case OrderError::LyricsFirst:
      return "Error: A Lyrics File Was Listed Before A Music File !";
    case OrderError::ConsecutiveLyrics:
      return "Error: Two Or More Consecutive Lyrics Files Listed !";
    case OrderError::LyricsAfterGraphics:
      return "Error: A Lyrics File Was Listed After A Graphics File !";
    case OrderError::NoMusic:
      return "Error: You Must Include At Least One Music File !";
  }
  return {};
}

OrderError CheckOrderRules(const std::vector<std::string>& entries) {
  const auto kindOf = [](std::string_view entry) { return album::KindOf(base::Trim(entry)); };
  int music = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const album::ItemKind k = kindOf(entries[i]);
    if (k == album::ItemKind::Lyrics) {
      if (i == 0) return OrderError::LyricsFirst;
      const album::ItemKind p = kindOf(entries[i - 1]);
      if (p == album::ItemKind::Lyrics) return OrderError::ConsecutiveLyrics;
      if (p == album::ItemKind::Picture) return OrderError::LyricsAfterGraphics;
    } else if (k != album::ItemKind::Picture) {
      ++music;  // whatever is neither lyrics nor picture counts as music
    }
  }
  return music == 0 ? OrderError::NoMusic : OrderError::None;
}

mp3header::AnalyseStatus AnalyseFile(const std::string& path, mp3header::MP3HeaderInfo& info) {
  return mp3header::AnalyseMP3(base::PathFromUtf8(path), info);
}

std::string RejectionText(std::string_view entry, mp3header::AnalyseStatus status, bool isVbr,
                          std::int16_t bitrate) {
  const std::string_view name = base::FileNameOf(entry);
  // A file gone or unreadable since it was added has no bitrate to speak of.
  if (status == mp3header::AnalyseStatus::CannotOpen) {
    return std::string(kRejectedUnreadablePrefix) + std::string(name);
  }
  if (isVbr) return std::string(kRejectedVbrPrefix) + std::string(name);
  return std::string(kRejectedBitratePrefix) + std::to_string(bitrate) + ") : " + std::string(name);
}

bool IsAcceptablePath(std::string_view path) {
  return !album::IsAlbumFileName(path) && KindOf(path) != ItemKind::Other;
}

std::vector<UnreadableEntry> FindUnreadable(const std::vector<std::string>& entries) {
  std::vector<UnreadableEntry> unreadable;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::filesystem::path path = base::PathFromUtf8(entries[i]);
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    std::string error;
    if (ec) {
      error = ec.message();
    } else if (status.type() == std::filesystem::file_type::not_found) {
      error = std::make_error_code(std::errc::no_such_file_or_directory).message();
    } else if (status.type() != std::filesystem::file_type::regular) {
      error = "not a plain file";
    } else if (base::FileSource::Open(path, error)) {
      continue;
    }
    unreadable.push_back({i, error});
  }
  return unreadable;
}

bool ContentsList::IsInList(std::string_view text) const {
  for (const std::string& entry : m_entries) {
    if (SameText(entry, text)) return true;
  }
  return false;
}

void ContentsList::AppendUnlessListed(std::string path, AddResult& result) {
  if (IsInList(path)) {
    result.duplicate = true;
    return;
  }
  m_entries.push_back(std::move(path));
  ++result.added;
}

AddResult ContentsList::AddFile(std::string_view path) {
  AddResult result;
  // Album files and other kinds are passed over without a word, as the file dialog's
  // "All Files" filter lets them through.
  if (!IsAcceptablePath(path)) return result;
  AppendUnlessListed(base::Trim(path), result);
  if (result.duplicate) result.message = kDuplicateItemMessage;
  result.enableMakeAlbum = true;
  return result;
}

AddResult ContentsList::AddFolder(std::string_view folder, const FolderLister& lister) {
  AddResult result;
  auto names = lister.PlainFileNames(folder, result.error);
  if (!names) {
    result.refused = true;
    return result;
  }
  const std::string prefix = base::WithTrailingSeparator(folder);

  std::vector<std::string> pictures;
  std::vector<std::string> lyrics;
  std::vector<std::string> tracks;
  for (std::string& name : *names) {
    switch (KindOf(name)) {
      case ItemKind::Picture:
        pictures.push_back(std::move(name));
        break;
      case ItemKind::Lyrics:
        lyrics.push_back(std::move(name));
        break;
      case ItemKind::Track:
        if (!album::IsAlbumFileName(name)) tracks.push_back(std::move(name));
        break;
      case ItemKind::Other:
        break;
    }
  }

  for (const std::string& name : pictures) {
    std::string path = prefix + name;
    if (IsInList(base::Trim(path))) {
      result.duplicate = true;
    } else {
      m_entries.push_back(std::move(path));
      ++result.added;
    }
  }

  // Tracks in order of their number, names without one (0) first; equal numbers keep the
  // folder's order. A fixed number of swap passes would leave some enumerations unsorted.
  std::vector<std::pair<int, std::string>> numbered;
  numbered.reserve(tracks.size());
  for (std::string& name : tracks) numbered.emplace_back(TrackNumberOf(name), std::move(name));
  std::stable_sort(numbered.begin(), numbered.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t k = 0; k < tracks.size(); ++k) tracks[k] = std::move(numbered[k].second);

  for (const std::string& name : tracks) {
    const std::string key = TitleKey(name);
    AppendUnlessListed(prefix + name, result);
    for (const std::string& text : lyrics) {
      if (base::AsciiUpper(text).find(key) != std::string::npos) {
        AppendUnlessListed(prefix + text, result);
        break;
      }
    }
  }

  for (const std::string& name : lyrics) {
    std::string path = prefix + name;
    bool placed = false;
    for (const std::string& entry : m_entries) placed = placed || entry == path;
    if (!placed) AppendUnlessListed(std::move(path), result);
  }

  result.enableMakeAlbum = !m_entries.empty();
  if (result.duplicate) result.message = kDuplicateFolderItemsMessage;
  return result;
}

bool ContentsList::CanDrop(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (!IsAcceptablePath(path)) return false;
  }
  return true;
}

AddResult ContentsList::Drop(const std::vector<std::string>& paths) {
  AddResult result;
  if (!CanDrop(paths)) {
    result.refused = true;
    return result;
  }
  for (const std::string& path : paths) AppendUnlessListed(base::Trim(path), result);
  if (result.duplicate) result.message = kDuplicateDropMessage;
  result.enableMakeAlbum = true;
  return result;
}

std::optional<std::size_t> ContentsList::Reorder(std::ptrdiff_t dragFrom, std::ptrdiff_t target) {
  return MoveEntry(m_entries, dragFrom, target);
}

bool ContentsList::Remove(std::ptrdiff_t index) {
  return RemoveEntry(m_entries, index);
}

void ContentsList::Clear() {
  m_entries.clear();
  m_locked = false;
}

QualityResult ContentsList::QualityCheck(const HeaderAnalyser& analyse) {
  QualityResult result;
  for (std::size_t i = 0; i < m_entries.size(); ++i) {
    if (KindOf(m_entries[i]) != ItemKind::Track) {
      result.items.push_back(album::FileItem(m_entries[i]));
      continue;
    }
    // A fresh record per file: a file whose analysis stores nothing must not inherit the
    // previous file's bitrate.
    mp3header::MP3HeaderInfo info;
    const mp3header::AnalyseStatus status = analyse(m_entries[i], info);
    if (mp3header::IsAcceptedTrack(status, info)) {
      result.items.push_back(album::TrackItem(m_entries[i], info.HeaderPos, {}));
      continue;
    }
    result.passed = false;
    result.rejections.push_back({i, m_entries[i], status, info});
    m_entries[i] = RejectionText(m_entries[i], status, info.IsVBR, info.Bitrate);
  }
  if (!result.passed) {
    result.message = kQualityCheckFailedMessage;
    m_locked = true;
  }
  return result;
}

}  // namespace compose

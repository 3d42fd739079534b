#include "compose/wavelist.h"

#include <algorithm>

#include "base/text.h"
#include "compose/textrules.h"

namespace compose {
namespace {

constexpr std::string_view kWaveExtension = ".WAV";

}  // namespace

bool WaveList::IsWaveName(std::string_view path) {
  return path.size() >= kWaveExtension.size() &&
         base::AsciiUpper(path.substr(path.size() - kWaveExtension.size())) == kWaveExtension;
}

bool WaveList::CanDrop(const std::vector<std::string>& paths) {
  // A drag is only looked at loosely: ".WAV" anywhere in the path. What is no WAV fails when it
  // is encoded, with its cause.
  return std::all_of(paths.begin(), paths.end(), [](const std::string& path) {
    return base::AsciiUpper(path).find(kWaveExtension) != std::string::npos;
  });
}

bool WaveList::AddFile(std::string_view path) {
  if (!IsWaveName(path)) return false;
  m_entries.emplace_back(path);
  return true;
}

std::optional<std::size_t> WaveList::AddFolder(std::string_view folder, const FolderLister& lister,
                                               std::string& error) {
  const auto names = lister.PlainFileNames(folder, error);
  if (!names) return std::nullopt;
  const std::string prefix = base::WithTrailingSeparator(folder);
  std::size_t added = 0;
  for (const std::string& name : *names) {
    if (!IsWaveName(name)) continue;
    m_entries.push_back(prefix + name);
    ++added;
  }
  return added;
}

bool WaveList::Drop(const std::vector<std::string>& paths) {
  if (!CanDrop(paths)) return false;
  m_entries.insert(m_entries.end(), paths.begin(), paths.end());
  return true;
}

bool WaveList::Remove(std::ptrdiff_t index) {
  return RemoveEntry(m_entries, index);
}

void WaveList::RemoveDuplicates() {
  std::vector<std::string> kept;
  for (std::string& entry : m_entries) {
    if (std::find(kept.begin(), kept.end(), entry) == kept.end()) kept.push_back(std::move(entry));
  }
  m_entries = std::move(kept);
}

}  // namespace compose

#include "session/extractionrun.h"

#include <algorithm>
#include <system_error>

#include "base/fileio.h"

namespace session {
namespace {

constexpr std::string_view kCouldNotExtractPrefix = "Could Not Extract ";
constexpr std::string_view kNotExtractedPrefix = "Not Extracted : ";
constexpr std::string_view kCannotDeletePrefix = "Cannot Delete ";

}  // namespace

std::string ExistingFilesQuestion(const std::vector<std::string>& names) {
  std::string question = std::string(kExistingFilesQuestion) + "\n";
  for (const std::string& name : names) question += "\n" + name;
  return question;
}

std::string RenamedNote(std::size_t index, const std::filesystem::path& written) {
  return "Item " + std::to_string(index) +
         ": its name is taken (by the album or an earlier item); written as " +
         base::Utf8FromPath(written);
}

std::size_t ExtractionResult::Extracted() const {
  return static_cast<std::size_t>(std::count_if(
      items.begin(), items.end(), [](const ItemOutcome& item) { return item.extracted(); }));
}

bool ExtractionResult::MayDeleteAlbum() const {
  return Extracted() == items.size();
}

std::string ExtractionResult::CompletionText() const {
  std::string text(Extracted() == 0 && !items.empty() ? kNothingExtractedMessage
                                                      : kExtractionCompletedMessage);
  // Renamed items first, then the failures (those a stop left out among them), then the kept.
  const auto add = [&](auto which, auto line) {
    for (const ItemOutcome& item : items) {
      if (which(item.status)) text += "\n" + line(item);
    }
  };
  const auto ownText = [](const ItemOutcome& item) { return item.text; };
  add([](ItemStatus s) { return s == ItemStatus::Renamed; }, ownText);
  add([](ItemStatus s) { return s == ItemStatus::Failed || s == ItemStatus::NotReached; }, ownText);
  add([](ItemStatus s) { return s == ItemStatus::Kept; },
      [](const ItemOutcome& item) {
        return std::string(kKeptFilePrefix) + base::Utf8FromPath(item.path.filename());
      });
  if (!albumKept.empty()) text += "\n" + albumKept;
  return text;
}

std::vector<std::string> ExtractionRun::ExistingFiles() const {
  const album::Extraction extraction(*m_input.source, m_input.folder);
  std::vector<std::filesystem::path> seen;
  std::vector<std::string> names;
  for (const std::size_t i : m_input.chosen) {
    // A renamed target is free; a second item of a name gets a free one in the run.
    const album::Extraction::Written target = extraction.TargetFor((*m_input.items)[i]);
    if (target.renamed || std::find(seen.begin(), seen.end(), target.path) != seen.end()) {
      continue;
    }
    seen.push_back(target.path);
    if (base::NameTaken(target.path)) names.push_back(base::Utf8FromPath(target.path.filename()));
  }
  return names;
}

ExtractionResult ExtractionRun::Run(ExtractionFrontEnd& frontEnd, base::Replace replace) const {
  const std::vector<album::ArchiveItem>& items = *m_input.items;
  const int lines = static_cast<int>(items.size());
  ExtractionResult result;
  // One extraction for the whole run, so that no item replaces another of the same run.
  album::Extraction extraction(*m_input.source, m_input.folder, replace);
  bool stopped = false;
  const std::vector<std::size_t>& chosen = m_input.chosen;
  for (std::size_t n = 0; n < chosen.size(); ++n) {
    const std::size_t i = chosen[n];
    ItemOutcome outcome;
    outcome.index = i;
    if (stopped) {
      outcome.status = ItemStatus::NotReached;
      outcome.text = std::string(kNotExtractedPrefix) + items[i].name;
      result.items.push_back(std::move(outcome));
      continue;
    }
    std::string error;
    bool existed = false;
    // The next item is copied meanwhile; the extraction keeps that copy only where the item
    // ends as it would have one at a time.
    const album::ArchiveItem* next = n + 1 < chosen.size() ? &items[chosen[n + 1]] : nullptr;
    if (const auto written = extraction.Extract(items[i], error, existed, next)) {
      outcome.path = written->path;
      outcome.status = written->renamed ? ItemStatus::Renamed : ItemStatus::Written;
      if (written->renamed) outcome.text = RenamedNote(i, written->path);
    } else if (existed && replace == base::Replace::Never) {
      outcome.status = ItemStatus::Kept;
      outcome.path = extraction.TargetFor(items[i]).path;
      outcome.text = error;
    } else {
      outcome.status = ItemStatus::Failed;
      outcome.text = std::string(kCouldNotExtractPrefix) + items[i].name + " : " + error;
    }
    frontEnd.ItemEnded(outcome);
    result.items.push_back(std::move(outcome));
    stopped = !frontEnd.Progress(static_cast<int>(i + 1), lines);
    if (stopped) extraction.DropAhead();
  }
  for (std::size_t k = 0; stopped && k < result.items.size(); ++k) {
    if (result.items[k].status == ItemStatus::NotReached) frontEnd.ItemEnded(result.items[k]);
  }
  if (!stopped) (void)frontEnd.Progress(lines, lines);

  if (m_input.deleteAfter.empty()) return result;
  if (!result.MayDeleteAlbum()) {
    result.albumKept = kAlbumKeptMessage;
    return result;
  }
  std::error_code error;
  result.albumDeleted = std::filesystem::remove(m_input.deleteAfter, error);
  if (!result.albumDeleted) {
    result.deleteFailure = std::string(kCannotDeletePrefix) +
                           base::Utf8FromPath(m_input.deleteAfter.filename()) + " : " +
                           (error ? error.message() : std::string("No such file"));
  }
  return result;
}

}  // namespace session

#include "collection/folderjob.h"

#include <set>

#include "collection/conversion.h"
#include "compose/contentslist.h"
#include "compose/creation.h"
#include "compose/trackreading.h"
#include "compose/tracktable.h"
#include "media/mediadevice.h"

namespace collection {
namespace {

// True when `album` is a file changed after every file of `folder`.
bool UpToDate(const std::filesystem::path& album, const std::filesystem::path& folder) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(album, error)) return false;
  const auto albumTime = std::filesystem::last_write_time(album, error);
  if (error) return false;
  std::filesystem::directory_iterator it(folder, error);
  for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    std::error_code fileError;
    if (!it->is_regular_file(fileError)) continue;
    const auto fileTime = std::filesystem::last_write_time(it->path(), fileError);
    if (fileError || fileTime >= albumTime) return false;
  }
  return !error;
}

FolderResult Ended(FolderStatus status, std::string reason) {
  FolderResult result;
  result.status = status;
  result.reason = std::move(reason);
  return result;
}

// What the quality check refused, each entry's rejection text; the conversion is named when it
// could have helped.
std::string RefusalReason(const compose::ContentsList& list,
                          const compose::ContentsVerdict& verdict, bool convert) {
  std::string reason = verdict.Message();
  bool convertible = false;
  for (const compose::Rejection& rejection : verdict.quality.rejections) {
    reason += "; " + list.Entries()[rejection.index];
    convertible |= rejection.status != mp3header::AnalyseStatus::CannotOpen;
  }
  if (convertible && !convert) reason += " (--convert converts such tracks)";
  return reason;
}

}  // namespace

std::string_view FolderStatusName(FolderStatus status) {
  switch (status) {
    case FolderStatus::Made:
      return "made";
    case FolderStatus::Skipped:
      return "skipped";
    case FolderStatus::Failed:
      return "failed";
    default:
      return "stopped";
  }
}

std::vector<FolderPlan> PlanFolders(const std::vector<std::filesystem::path>& folders,
                                    const std::filesystem::path& outFolder) {
  std::vector<FolderPlan> plans;
  std::set<std::filesystem::path> taken;
  for (const std::filesystem::path& folder : folders) {
    FolderPlan plan;
    plan.folder = folder;
    compose::ContentsList list;
    const compose::AddResult added =
        list.AddFolder(base::Utf8FromPath(folder), compose::FileSystemLister());
    plan.entries = list.Entries();
    if (added.refused) {
      plan.reason = "Cannot read folder: " + added.error;
      plans.push_back(std::move(plan));
      continue;
    }
    // The proposals of the details window, read from the tags alone: the track lengths wait
    // for the job.
    compose::DetailsProposal proposal;
    for (const std::string& entry : plan.entries) {
      if (album::KindOf(entry) == album::ItemKind::Track) {
        (void)compose::ReadTrackFile(entry, proposal);
      }
    }
    plan.details = {proposal.albumTitle, proposal.artist, proposal.year,
                    std::string(compose::kComplete), ""};
    if (!compose::DetailsComplete(plan.details)) {
      plan.reason = std::string(compose::kEntriesRequiredMessage) +
                    " (the tags and names propose no album title, artist or year)";
      plans.push_back(std::move(plan));
      continue;
    }
    const std::filesystem::path place = outFolder.empty() ? folder.parent_path() : outFolder;
    for (int n = 1;; ++n) {
      const std::string title =
          plan.details.albumTitle + (n == 1 ? "" : " (" + std::to_string(n) + ")");
      const std::filesystem::path album =
          place /
          base::PathFromUtf8(compose::ProposedAlbumFileNameOnDisk(plan.details.artist, title));
      if (taken.insert(album.lexically_normal()).second) {
        plan.album = album;
        break;
      }
    }
    plans.push_back(std::move(plan));
  }
  return plans;
}

FolderResult RunFolderJob(const FolderJobInput& input, const Mp3Encoder* encoder,
                          JobControl& control) {
  const FolderPlan& plan = input.plan;
  if (plan.album.empty()) return Ended(FolderStatus::Skipped, plan.reason);
  std::error_code error;
  const bool existed = std::filesystem::exists(std::filesystem::symlink_status(plan.album, error));
  // An album already there is the user's until --force says otherwise, even an older one: it
  // may carry details typed by hand. A folder in its place fails at the write.
  if (!input.force && existed &&
      !std::filesystem::is_directory(std::filesystem::symlink_status(plan.album, error))) {
    return Ended(
        FolderStatus::Skipped,
        std::string(UpToDate(plan.album, plan.folder) ? kUpToDateReason : kOlderAlbumReason));
  }
  const auto unreadable = compose::FindUnreadable(plan.entries);
  if (!unreadable.empty()) {
    return Ended(FolderStatus::Failed,
                 "Cannot open " + plan.entries[unreadable[0].index] + ": " + unreadable[0].error);
  }
  const auto stopped = [&] { return control.Stopped(); };

  FolderResult result;
  std::vector<std::string> entries = plan.entries;
  std::unique_ptr<WorkFolder> work;
  if (input.convert) {
    std::string workError;
    work = WorkFolder::Create(workError);
    if (!work || !encoder) {
      return Ended(FolderStatus::Failed,
                   "Cannot convert tracks: " + (work ? "no encoder" : workError));
    }
    ConvertedList converted = ConvertRefusedTracks(entries, *encoder, work->Path(), stopped);
    if (!converted.failure.ok()) {
      return Ended(converted.failure.status == ConvertStatus::Stopped ? FolderStatus::Stopped
                                                                      : FolderStatus::Failed,
                   converted.failure.error);
    }
    entries = std::move(converted.entries);
    result.converted = std::move(converted.converted);
  }

  compose::ContentsList list;
  for (const std::string& entry : entries) (void)list.AddFile(entry);
  const compose::ContentsVerdict verdict = compose::CheckContents(list);
  if (!verdict.ok()) {
    return Ended(FolderStatus::Skipped, RefusalReason(list, verdict, input.convert));
  }
  auto device = media::CreateMediaDevice();
  const compose::PreparedAlbum prepared =
      compose::PrepareTrackTable(entries, *device, [&](int, int) { return !stopped(); });
  if (stopped()) return Ended(FolderStatus::Stopped, "stopped");
  const compose::TrackTableCheck check = compose::CheckTrackTable(prepared.trackTable);
  if (!check.ok()) return Ended(FolderStatus::Skipped, check.message);

  album::AlbumDetails details = plan.details;
  details.completeness = prepared.completeness;
  details.tracks = prepared.tracks;
  const album::WriteResult written = compose::WriteComposedAlbum(
      plan.album, entries, verdict.quality.WriterPositions(), prepared,
      std::vector<bool>(prepared.trackLines.size(), false), details,
      [&](int, int) { return !stopped(); },
      existed ? base::Replace::Allowed : base::Replace::Never);
  if (written.status == album::WriteStatus::Stopped) return Ended(FolderStatus::Stopped, "stopped");
  if (!written.ok()) return Ended(FolderStatus::Failed, written.error);
  result.tracks = prepared.trackTable.size();
  for (const std::string& warning : written.warnings) {
    result.reason += (result.reason.empty() ? "left out: " : "; ") + warning;
  }
  std::error_code sizeError;
  const auto size = std::filesystem::file_size(plan.album, sizeError);
  if (!sizeError) result.bytes += static_cast<std::int64_t>(size);
  for (const std::string& entry : entries) {
    if (!work || !entry.starts_with(base::Utf8FromPath(work->Path()))) continue;
    const auto converted = std::filesystem::file_size(base::PathFromUtf8(entry), sizeError);
    if (!sizeError) result.bytes += static_cast<std::int64_t>(converted);
  }
  return result;
}

}  // namespace collection

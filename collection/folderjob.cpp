#include "collection/folderjob.h"

#include <set>

#include "collection/conversion.h"
#include "compose/contentslist.h"
#include "compose/trackreading.h"
#include "compose/tracktable.h"
#include "media/mediadevice.h"
#include "session/albumcreation.h"

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
                          const session::ContentsVerdict& verdict, bool convert) {
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
      plan.reason = std::string(session::kEntriesRequiredMessage) +
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

FolderResult RunFolderJob(const FolderJobInput& input, const LameLibrary* encoder,
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

  // The plan's details and album; stopping asked for at every track and chunk.
  class Planned final : public session::CreationFrontEnd {
   public:
    Planned(const FolderPlan& plan, bool existed, JobControl& control)
        : m_plan(plan), m_existed(existed), m_control(control) {}
    std::optional<album::AlbumDetails> Details(const compose::PreparedAlbum& prepared,
                                               std::vector<bool>&) override {
      album::AlbumDetails details = m_plan.details;
      details.completeness = prepared.completeness;
      details.tracks = prepared.tracks;
      return details;
    }
    std::filesystem::path Output(const album::AlbumDetails&) override { return m_plan.album; }
    // Only an album there at the start is replaced (the caller skipped it unless --force).
    bool ReplaceExisting(const std::filesystem::path&) override { return m_existed; }
    bool Progress(session::CreationStep, int, int) override { return !m_control.Stopped(); }

   private:
    const FolderPlan& m_plan;
    bool m_existed;
    JobControl& m_control;
  } planned(plan, existed, control);

  compose::ContentsList list;
  for (const std::string& entry : entries) (void)list.AddFile(entry);
  auto device = media::CreateMediaDevice();
  const session::CreationResult created = session::CreateAlbum(list, *device, planned);
  switch (created.status) {
    case session::CreationStatus::Made:
      break;
    case session::CreationStatus::Refused:
      return Ended(FolderStatus::Skipped, RefusalReason(list, created.verdict, input.convert));
    case session::CreationStatus::NonStandardTrack:
    case session::CreationStatus::DetailsMissing:
      return Ended(FolderStatus::Skipped, created.message);
    case session::CreationStatus::Stopped:
      return Ended(FolderStatus::Stopped, "stopped");
    case session::CreationStatus::Cancelled:
      return Ended(FolderStatus::Failed, base::Utf8FromPath(plan.album) + " appeared meanwhile");
    case session::CreationStatus::TracksValue:
    case session::CreationStatus::Failed:
      return Ended(FolderStatus::Failed, created.message);
  }
  result.tracks = created.tracks;
  for (const std::string& warning : created.warnings) {
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

#include "session/albumcreation.h"

#include "base/fileio.h"

namespace session {

std::string ContentsVerdict::Message() const {
  if (!quality.passed) return quality.message;
  return std::string(compose::OrderErrorMessage(order));
}

ContentsVerdict AlbumCreation::Check(compose::ContentsList& list,
                                     const compose::HeaderAnalyser& analyse) {
  ContentsVerdict verdict;
  verdict.quality = list.QualityCheck(analyse);
  if (verdict.quality.passed) verdict.order = list.CheckOrderRules();
  m_items = verdict.ok() ? verdict.quality.items : std::vector<album::AlbumItem>{};
  m_prepared = {};
  return verdict;
}

const compose::PreparedAlbum& AlbumCreation::Prepare(media::MediaDevice& device,
                                                     const base::Progress& progress) {
  m_prepared = compose::PrepareTrackTable(m_items, device, progress);
  return m_prepared;
}

DetailsCheck AlbumCreation::CheckDetails(const album::AlbumDetails& details) const {
  if (const compose::TrackTableCheck check = compose::CheckTrackTable(m_items); !check.ok()) {
    return {CreationStatus::NonStandardTrack, check.message};
  }
  if (!compose::DetailsComplete(details)) {
    return {CreationStatus::DetailsMissing, std::string(kEntriesRequiredMessage)};
  }
  if (!album::TracksByte(details.tracks)) {
    return {CreationStatus::TracksValue, album::TracksValueMessage(details.tracks)};
  }
  return {};
}

album::WriteResult AlbumCreation::Write(const std::filesystem::path& output,
                                        const album::AlbumDetails& details,
                                        const std::vector<bool>& ticked,
                                        const album::WriteProgress& progress,
                                        base::Replace replace) const {
  std::vector<album::AlbumItem> items = m_items;
  std::size_t line = 0;
  for (album::AlbumItem& item : items) {
    if (item.kind != album::ItemKind::Track) continue;
    item.correction.ticked = line < ticked.size() && ticked[line];
    ++line;
  }
  return album::WriteAlbum(output, items, details, progress, replace);
}

CreationResult CreateAlbum(compose::ContentsList& list, media::MediaDevice& device,
                           CreationFrontEnd& frontEnd) {
  CreationResult result;
  const auto ended = [&result](CreationStatus status, std::string message) {
    result.status = status;
    result.message = std::move(message);
    return result;
  };
  AlbumCreation creation;
  result.verdict = creation.Check(list);
  if (!result.verdict.ok()) return ended(CreationStatus::Refused, result.verdict.Message());

  bool stopped = false;
  const compose::PreparedAlbum& prepared = creation.Prepare(device, [&](int done, int total) {
    stopped = !frontEnd.Progress(CreationStep::ReadingTracks, done, total);
    return !stopped;
  });
  if (stopped) return ended(CreationStatus::Stopped, "stopped");
  result.tracks = prepared.trackLines.size();

  std::vector<bool> ticked(prepared.trackLines.size(), false);
  // The track table is checked before the details are asked for, as the window does.
  if (const auto check = compose::CheckTrackTable(creation.Items()); !check.ok()) {
    return ended(CreationStatus::NonStandardTrack, check.message);
  }
  const std::optional<album::AlbumDetails> details = frontEnd.Details(prepared, ticked);
  if (!details) return ended(CreationStatus::Cancelled, {});
  if (const DetailsCheck check = creation.CheckDetails(*details); !check.ok()) {
    return ended(check.status, check.message);
  }

  result.output = frontEnd.Output(*details);
  // Only a file the front end agreed to replace is replaced; one that appears while the album
  // is written is kept.
  base::Replace replace = base::Replace::Never;
  if (base::NameTaken(result.output)) {
    if (!frontEnd.ReplaceExisting(result.output)) return ended(CreationStatus::Cancelled, {});
    replace = base::Replace::Allowed;
  }
  const album::WriteResult written = creation.Write(
      result.output, *details, ticked,
      [&](int done, int total) { return frontEnd.Progress(CreationStep::Writing, done, total); },
      replace);
  result.warnings = written.warnings;
  if (written.status == album::WriteStatus::Stopped)
    return ended(CreationStatus::Stopped, "stopped");
  if (!written.ok()) return ended(CreationStatus::Failed, written.error);
  return ended(CreationStatus::Made, std::string(kAlbumCreatedMessage));
}

}  // namespace session

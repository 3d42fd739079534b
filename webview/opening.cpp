#include "webview/opening.h"

#include <algorithm>

#include "webview/lyrics.h"
#include "webview/pages.h"

namespace webview {

namespace {

OpeningStatus FromReadStatus(album::ReadStatus status) {
  switch (status) {
    case album::ReadStatus::Ok:
      return OpeningStatus::Ok;
    case album::ReadStatus::NotAlbum:
      return OpeningStatus::NotAlbum;
    case album::ReadStatus::Damaged:
      break;
  }
  return OpeningStatus::Damaged;
}

}  // namespace

WebViewOpening OpenWebView(base::ByteSource& source, album::AlbumReader& reader,
                           const album::TagWriter& writeBack, PictureService& pictures,
                           const OpeningOptions& options) {
  WebViewOpening opening;
  if (!reader.IsAlbum()) {
    opening.status = OpeningStatus::NotAlbum;
    return opening;
  }
  opening.tagAnsweredYes = reader.ReadAlbumTag(writeBack);
  const album::ShownDetails& tag = reader.Details();
  opening.details = {tag.title, tag.artist, tag.year};
  album::ReadStatus read = reader.ReadTrackDirectory();
  if (read == album::ReadStatus::Ok) read = reader.ListPictures();
  if (read == album::ReadStatus::Ok) read = reader.ListLyrics();
  PageContent content;
  if (read == album::ReadStatus::Ok) read = ReadLyrics(source, reader, content.lyrics);
  if (read != album::ReadStatus::Ok) {
    opening.status = FromReadStatus(read);
    return opening;
  }

  // Held open (and locked) until the view is written: nothing goes by path from here on.
  const std::unique_ptr<WebFolder> folder =
      PrepareWebFolder(options.tempFolder, opening.details, opening.error);
  if (!folder) {
    opening.status = OpeningStatus::FolderFailed;
    return opening;
  }
  opening.folder = folder->Path();
  if (!folder->Notice().empty()) opening.warnings.push_back(folder->Notice());
  if (!LacksScript(*folder) && !opening.tagAnsweredYes) return opening;

  opening.regenerated = true;
  if (options.beforeRegeneration) options.beforeRegeneration();
  // Previews made from these very pictures at an earlier opening stay (they take the longest).
  const std::string identity = FileIdentity(source.Stream());
  const std::vector<std::string> lasting = LastingPreviews(*folder, reader.Pictures(), identity);
  const auto keep = [&lasting](std::string_view name) {
    return std::find(lasting.begin(), lasting.end(), name) != lasting.end();
  };
  if (!ClearWebFolder(*folder, opening.error, keep)) {
    opening.status = OpeningStatus::FolderFailed;
    return opening;
  }
  if (!reader.Pictures().empty()) {
    if (options.beforePreviews) options.beforePreviews();
    PreviewResult previews =
        MakePreviews(source, reader.Pictures(), *folder, pictures, options.afterPicture, identity);
    opening.pictureNames = std::move(previews.pictureNames);
    for (const std::string& name : previews.failures) {
      opening.warnings.push_back("no preview of " + name);
    }
    if (!previews.ok()) {
      opening.status = OpeningStatus::WriteFailed;
      opening.error = previews.error;
      return opening;
    }
  }
  if (options.beforePages) options.beforePages();

  content.details = opening.details;
  for (const album::TrackEntry& track : reader.TrackTable()) {
    content.songTitles.push_back(track.SongTitle);
  }
  WebViewWriteResult written = WriteWebView(*folder, content, opening.pictureNames,
                                            options.dataFolder, options.rewriteMainPage);
  opening.warnings.insert(opening.warnings.end(), written.warnings.begin(), written.warnings.end());
  if (!written.ok()) {
    opening.status = OpeningStatus::WriteFailed;
    opening.error = written.error;
  }
  return opening;
}

}  // namespace webview

#include "session/playersession.h"

#include <algorithm>

#include "base/fileio.h"
#include "base/text.h"
#include "media/audiooutput.h"

namespace session {

bool PlayerOpening::Damaged() const {
  return sourceError.empty() && (web.status == webview::OpeningStatus::NotAlbum ||
                                 web.status == webview::OpeningStatus::Damaged);
}

bool PlayerOpening::ok() const {
  return sourceError.empty() && web.status == webview::OpeningStatus::Ok && !album.tracks.empty();
}

bool ShowsViewer(const album::AlbumSections& sections) {
  return sections.lyricsOffset > sections.pictureOffset &&
         sections.directoryOffset > sections.lyricsOffset;
}

PlayerOpening OpenForPlaying(const std::string& path, const album::TagWriter& writeBack,
                             webview::PictureService& pictures, webview::OpeningOptions options,
                             const std::function<void(const album::AlbumContents&)>& read) {
  PlayerOpening opening;
  media::PrepareSdlOutput();
  std::string error;
  auto source = base::FileSource::Open(base::PathFromUtf8(path), error);
  if (!source) {
    opening.sourceError = error.empty() ? "cannot open" : error;
    return opening;
  }
  album::AlbumReader reader(*source);
  if (read) {
    options.beforePreviews = [&read, &reader, earlier = options.beforePreviews] {
      if (earlier) earlier();
      read(reader.Contents());
    };
  }
  opening.web = webview::OpenWebView(*source, reader, writeBack, pictures, options);
  opening.album = reader.Contents();
  const album::AlbumSections& sections = opening.album.sections;
  opening.pictures = sections.lyricsOffset > sections.pictureOffset;
  opening.lyrics = sections.directoryOffset > sections.lyricsOffset;
  return opening;
}

PlayerAlbum AlbumOf(const std::string& path, const album::AlbumContents& album) {
  PlayerAlbum shown;
  shown.path = path;
  shown.details = {album.details.title, album.details.artist, album.details.year};
  for (const album::TrackEntry& track : album.tracks) {
    shown.tracks.push_back({track.SongTitle, track.PlayLength, track.AudioBytes});
  }
  return shown;
}

PlayerAlbum AlbumOf(const std::string& path, const PlayerOpening& opening) {
  PlayerAlbum shown = AlbumOf(path, opening.album);
  shown.details = opening.web.details;
  shown.webFolder = opening.web.folder;
  shown.pictureNames = opening.web.pictureNames;
  return shown;
}

std::optional<PlayerAlbum> AlbumOf(const std::string& path, const album::Archive& archive) {
  if (archive.format != album::ArchiveFormat::Album) return std::nullopt;
  PlayerAlbum shown;
  shown.path = path;
  shown.details = {archive.details.title, archive.details.artist, archive.details.year};
  for (const album::ArchiveItem& item : archive.items) {
    if (item.kind == album::ItemKind::Track) {
      shown.tracks.push_back({item.title, item.playLength, item.size});
    }
  }
  if (shown.tracks.empty()) return std::nullopt;
  return shown;
}

PlayerSession::PlayerSession(player::Timer& progressTimer,
                             std::unique_ptr<media::MediaDevice> device,
                             player::RandomChoice random, player::DecodedLengths decoded)
    : m_outputLoading(device ? std::jthread() : std::jthread([] { media::PrepareSdlOutput(); })),
      m_device(device ? std::move(device) : media::CreateMediaDevice()),
      m_player(*m_device, progressTimer, *this, std::move(random), std::move(decoded)) {}

PlayerSession::~PlayerSession() {
  m_observers.clear();
  m_player.Stop();
}

void PlayerSession::AddObserver(PlayerObserver& observer) {
  m_observers.push_back(&observer);
}

void PlayerSession::RemoveObserver(PlayerObserver& observer) {
  std::erase(m_observers, &observer);
}

template <typename Call>
void PlayerSession::Tell(Call call) {
  // A copy: an observer may remove itself while it is told.
  const std::vector<PlayerObserver*> observers = m_observers;
  for (PlayerObserver* observer : observers) call(*observer);
}

void PlayerSession::SelectionChanged(int index) {
  Tell([index](PlayerObserver& o) { o.SelectionChanged(index); });
}

void PlayerSession::PageChanged() {
  Tell([](PlayerObserver& o) { o.PageChanged(); });
}

void PlayerSession::DisplayChanged() {
  Tell([](PlayerObserver& o) { o.DisplayChanged(); });
}

void PlayerSession::PlayFailed() {
  Tell([](PlayerObserver& o) { o.PlayFailed(); });
}

void PlayerSession::Load(PlayerAlbum album, std::string elapsedCaption) {
  m_album = std::move(album);
  m_player.Load(m_album.path, m_album.tracks, std::move(elapsedCaption));
}

void PlayerSession::SetWebView(webview::DetailTexts details, std::string folder,
                               std::vector<std::string> pictureNames) {
  m_album.details = std::move(details);
  m_album.webFolder = std::move(folder);
  m_album.pictureNames = std::move(pictureNames);
}

std::string PlayerSession::FirstPreview() const {
  if (m_album.pictureNames.empty()) return {};
  return m_album.webFolder + m_album.pictureNames.front();
}

void PlayerSession::PlayUnlessPlaying() {
  if (m_player.State() != player::PlayState::Playing) m_player.Play();
}

void PlayerSession::PlayPause() {
  if (m_player.State() == player::PlayState::Playing) {
    m_player.Pause();
  } else {
    m_player.Play();
  }
}

void PlayerSession::PlayEntry(int index) {
  if (index < 0 || index >= static_cast<int>(m_album.tracks.size())) return;
  m_player.SelectTrack(index);
  SelectionChanged(index);
  m_player.Play();
}

int PlayerSession::HeardTrack() const {
  return m_player.PlayingTrack() >= 0 ? m_player.PlayingTrack() : m_player.Selected();
}

void PlayerSession::Next() {
  const int next = HeardTrack() + 1;
  PlayEntry(next < static_cast<int>(m_album.tracks.size()) ? next : 0);
}

void PlayerSession::Previous() {
  PlayEntry(std::max(HeardTrack() - 1, 0));
}

bool PlayerSession::SeekBy(std::int64_t ms) {
  if (m_player.State() != player::PlayState::Playing) return false;
  m_player.SeekBy(ms);
  return true;
}

bool PlayerSession::SetPosition(int index, std::int64_t ms) {
  // A position outside the playing track is ignored.
  if (m_player.State() != player::PlayState::Playing || index != m_player.PlayingTrack() ||
      ms < 0 || ms > m_player.TrackEnd() - m_player.TrackStart()) {
    return false;
  }
  m_player.SeekTo(ms);
  return true;
}

std::int64_t PlayerSession::PositionInTrack() {
  if (m_player.State() == player::PlayState::Stopped) return 0;
  const std::int64_t ms = m_player.State() == player::PlayState::Playing ? m_player.QueryPosition()
                                                                         : m_player.Position();
  return std::max<std::int64_t>(ms - m_player.TrackStart(), 0);
}

void PlayerSession::SetLoop(bool on) {
  m_loop = on;
  m_player.SetLoop(on);
  DisplayChanged();
}

void PlayerSession::SetRandom(bool on) {
  if (on == m_player.Random()) return;
  m_player.SetRandom(on);
  m_player.RandomClicked();
  DisplayChanged();
}

void PlayerSession::SetVolume(int percent) {
  m_volume = std::clamp(percent, 0, 100);
  (void)m_device->SendString("setaudio all volume to " + std::to_string(m_volume * 10));
  Tell([](PlayerObserver& o) { o.VolumeChanged(); });
}

void PlayerSession::ProgressTick() {
  if (m_wholeAlbum) {
    // In order, Loop carries playing into the next track, and the end of the last track ends
    // the album unless Loop asks for more. Random counts its own choices.
    const int last = static_cast<int>(m_album.tracks.size()) - 1;
    m_player.SetLoop(m_loop || (!m_player.Random() && m_player.CurrentTrack() < last));
  }
  m_player.ProgressTick();
}

std::string PlayerSession::FailureText() const {
  // A file that opens but plays nothing: its tracks are empty or are no MPEG audio.
  if (m_player.Failure() == media::MediaError::CannotOpen) return std::string(kNoAudioText);
  return std::string(media::ErrorText(m_player.Failure()));
}

}  // namespace session

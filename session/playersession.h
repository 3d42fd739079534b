#pragma once
// A player session: opens an album for playing and drives the player's rules for every front
// end (the player window, the desktop's media controls, `lyrabinder-cli play`). Next and
// Previous, Loop and Random, the volume and the position have their rules here; front ends
// call them and observe what changes.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "album/archive.h"
#include "media/mediadevice.h"
#include "player/player.h"
#include "webview/opening.h"

namespace session {

/// Why playing stopped by itself, for the command line, which names the cause.
inline constexpr std::string_view kNoAudioText = "its tracks hold no MPEG audio that can be played";

/// Told what a player session changed. Every call comes from the thread that drives the session.
class PlayerObserver {
 public:
  virtual ~PlayerObserver() = default;
  /// The list's selection moved (random choice, loop, Next, Previous).
  virtual void SelectionChanged(int /*index*/) {}
  /// The web view's page changed (to Rules().WebPageName()).
  virtual void PageChanged() {}
  /// A text, the state, Loop or Random changed.
  virtual void DisplayChanged() {}
  /// Playing stopped because the album cannot be played (any more): Rules().Failure() says why.
  virtual void PlayFailed() {}
  virtual void VolumeChanged() {}
};

/// What a session plays: the album's tracks as listed, and what its window shows beside them.
struct PlayerAlbum {
  std::string path;
  std::vector<player::PlayerTrack> tracks;
  webview::DetailTexts details;
  std::string webFolder;                  ///< ends in a separator; empty without a web view
  std::vector<std::string> pictureNames;  ///< previews in the web folder
};

/// An album opened for the player window: read, its tag marked, its web view made.
struct PlayerOpening {
  std::string sourceError;  ///< the file could not be opened (not a damaged album)
  webview::WebViewOpening web;
  album::AlbumContents album;
  bool pictures = false;
  bool lyrics = false;

  /// The album cannot be read as one (album::kDamagedMessage).
  [[nodiscard]] bool Damaged() const;
  /// The album opened whole and holds tracks to play.
  [[nodiscard]] bool ok() const;
};

/// The album holds pictures and lyrics: the window shows the viewer beside the player.
[[nodiscard]] bool ShowsViewer(const album::AlbumSections& sections);

/// Opens `path` for the player window, and readies the sound output meanwhile (on the calling
/// thread, so that the window's thread is not held up). `read` is called with the album once it is
/// read and its web view is about to be regenerated with previews (so that a window can show it
/// while the previews are made); `options` carry the other hooks.
[[nodiscard]] PlayerOpening OpenForPlaying(
    const std::string& path, const album::TagWriter& writeBack, webview::PictureService& pictures,
    webview::OpeningOptions options, const std::function<void(const album::AlbumContents&)>& read);

/// The album of an opening as the window lists it (song titles with their padding).
PlayerAlbum AlbumOf(const std::string& path, const PlayerOpening& opening);
/// The album of an opening as the window lists it before its web view is made.
PlayerAlbum AlbumOf(const std::string& path, const album::AlbumContents& album);
/// The album of an archive opened by the command line (titles trimmed); nothing when it is no
/// album or holds no track.
[[nodiscard]] std::optional<PlayerAlbum> AlbumOf(const std::string& path,
                                                 const album::Archive& archive);

class PlayerSession final : private player::PlayerListener {
 public:
  /// Plays through `device` (empty: the media device on libmpg123 and SDL). The timer must
  /// outlive the session; `random` and `decoded` as for the rules.
  explicit PlayerSession(player::Timer& progressTimer,
                         std::unique_ptr<media::MediaDevice> device = nullptr,
                         player::RandomChoice random = {}, player::DecodedLengths decoded = {});
  ~PlayerSession() override;
  PlayerSession(const PlayerSession&) = delete;
  PlayerSession& operator=(const PlayerSession&) = delete;

  /// Observers must stay until removed.
  void AddObserver(PlayerObserver& observer);
  void RemoveObserver(PlayerObserver& observer);

  /// A new album: nothing plays, the main page is shown, entry 0 is selected.
  void Load(PlayerAlbum album, std::string elapsedCaption);
  /// The web view, once made for the album loaded (it is made after the album is shown).
  void SetWebView(webview::DetailTexts details, std::string folder,
                  std::vector<std::string> pictureNames);
  const PlayerAlbum& Album() const { return m_album; }
  bool Loaded() const { return !m_album.tracks.empty(); }
  /// The album's first preview in the web folder, or the empty text.
  std::string FirstPreview() const;

  void Play() { m_player.Play(); }
  /// Plays unless it plays already (a play key that does not restart the track).
  void PlayUnlessPlaying();
  void Pause() { m_player.Pause(); }
  void PlayPause();
  /// Stops playing; the session can be loaded or played again.
  void Stop() { m_player.Stop(); }
  /// Selects line `index` (a click on it) and plays it; nothing outside the album.
  void PlayEntry(int index);
  /// The track after the one heard (after the last: the first), played.
  void Next();
  /// The track before the one heard (before the first: the first), played.
  void Previous();
  /// A click on a line: it plays at the next Play.
  void SelectTrack(int index) { m_player.SelectTrack(index); }

  /// Seeks by `seconds` inside the current track (the seek menu).
  void Seek(int seconds) { m_player.Seek(seconds); }
  /// Seeks to `ms` from the start of the current track, clamped to it.
  void SeekTo(std::int64_t ms) { m_player.SeekTo(ms); }
  /// Seeks by `ms` while playing; false (and nothing) otherwise.
  bool SeekBy(std::int64_t ms);
  /// Moves to `ms` into track `index`; false (and nothing) unless that track plays and `ms`
  /// lies within it.
  bool SetPosition(int index, std::int64_t ms);
  /// Asks the device for the album position now (milliseconds).
  std::int32_t QueryPosition() { return m_player.QueryPosition(); }
  /// The position inside the track heard, milliseconds; 0 while stopped.
  std::int64_t PositionInTrack();

  void SetLoop(bool on);
  /// Random on or off; switching it counts the random choices again.
  void SetRandom(bool on);
  /// Plays from track to track and stops after the last (with Random after as many random
  /// tracks as the album has); Loop then plays on without end. Off, the Loop box decides.
  void SetWholeAlbum(bool on) { m_wholeAlbum = on; }
  bool Loop() const { return m_loop; }
  bool Random() const { return m_player.Random(); }

  /// The output volume, 0 to 100 (clamped).
  void SetVolume(int percent);
  int Volume() const { return m_volume; }

  /// The progress timer's tick: position, elapsed time, end of track.
  void ProgressTick();
  /// The blink timer's tick.
  void BlinkTick() { m_player.BlinkTick(); }

  /// The track heard, else the selected line: what Next, Previous and the desktop show.
  int HeardTrack() const;
  /// Playing stopped by itself: the album could not be played (any more).
  bool Failed() const { return m_player.Failure() != media::MediaError::None; }
  /// Why playing stopped by itself, in words.
  std::string FailureText() const;
  const player::Player& Rules() const { return m_player; }

 private:
  void SelectionChanged(int index) override;
  void PageChanged() override;
  void DisplayChanged() override;
  void PlayFailed() override;
  template <typename Call>
  void Tell(Call call);

  // SDL and its sound libraries load while the album is read and timed; first in, so that it
  // is started before the device takes `device` and joined last.
  std::jthread m_outputLoading;
  std::unique_ptr<media::MediaDevice> m_device;
  player::Player m_player;
  std::vector<PlayerObserver*> m_observers;
  PlayerAlbum m_album;
  bool m_loop = false;
  bool m_wholeAlbum = false;
  int m_volume = 100;
};

}  // namespace session

#pragma once
// The album player's rules: which stretch of the album audio a track is, what Play, Pause,
// Stop and the seeks send to the media device, and what happens at the end of a track with
// Loop and Random. A window or the command line supplies the timers and shows the texts.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "media/mediadevice.h"

namespace player {

/// Start of track `index` in the album audio, milliseconds: 0 for the first; for the others
/// the sum of the lengths in front of it less 1. Sums are clamped to the range of a Long.
std::int32_t TrackStartMs(const std::vector<std::int32_t>& lengths, int index);
/// End of track `index`: the sum of its length and those in front of it; 0 for the last track
/// (Play puts the album length in its place).
std::int32_t TrackEndMs(const std::vector<std::int32_t>& lengths, int index);

inline constexpr std::string_view kStoppedWord = "STOPPED";
inline constexpr std::string_view kPlayingWord = "PLAYING";
inline constexpr std::string_view kPausedWord = "PAUSED";
inline constexpr std::string_view kPressPlay = "Press Play";
inline constexpr int kReplySize = 30;
inline constexpr int kProgressIntervalMs = 500;
inline constexpr int kBlinkIntervalMs = 1000;
inline constexpr int kRed = 255;
inline constexpr int kGreen = 65280;

enum class PlayState { Stopped, Playing, Paused };

/// A timer the owner runs; the rules only switch it on and off.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
};

/// Told when the rules change something the owner shows.
class PlayerListener {
 public:
  virtual ~PlayerListener() = default;
  /// The rules moved the track list's selection (random choice, loop).
  virtual void SelectionChanged(int index) = 0;
  /// The web view's page changed (to WebPageName()).
  virtual void PageChanged() = 0;
  /// A text, the state word or its colour changed.
  virtual void DisplayChanged() = 0;
  /// Playing stopped because the album cannot be played (any more): Failure() says why.
  virtual void PlayFailed() = 0;
};

/// The texts of the player's labels.
struct PlayerTexts {
  std::string state{kStoppedWord};      ///< Label11
  int stateColour = kRed;               ///< Label11's text colour, 0xBBGGRR
  std::string elapsed;                  ///< Label10 (its caption until the first tick)
  std::string trackLength;              ///< Label9
  std::string albumLength{kPressPlay};  ///< lblLengthA
  std::string currentSong;              ///< lblCurSong
};

struct PlayerTrack {
  std::string title;  ///< as the list shows it
  std::int32_t playLength = 0;
  std::int64_t audioBytes = 0;  ///< its audio's size; the tracks lie back to back from byte 0
};

/// Chooses a whole number from low to high, both included.
using RandomChoice = std::function<int(int low, int high)>;

/// The decoded lengths (milliseconds) of the album's tracks from their audio sizes, nothing
/// when they cannot be had.
using DecodedLengths = std::function<std::optional<std::vector<std::int32_t>>(
    const std::string& albumPath, const std::vector<std::int64_t>& audioBytes)>;

/// Whether a track table can describe an album of `albumLengthMs`: every length positive and
/// their sum no more than the album, give or take a millisecond of rounding per track.
bool PossibleLengths(const std::vector<std::int32_t>& lengths, std::int32_t albumLengthMs);

class Player {
 public:
  /// The device, timer and listener must outlive the player. `random` defaults to the
  /// clock-seeded generator shared with the web view; `decoded` to a scan of the album file.
  Player(media::MediaDevice& device, Timer& progressTimer, PlayerListener& listener,
         RandomChoice random = {}, DecodedLengths decoded = {});

  /// A new album: nothing plays, the main page is shown, entry 0 is selected. Where the
  /// table's lengths are impossible for the album the device plays, the first Play takes the
  /// decoded ones.
  void Load(std::string albumPath, std::vector<PlayerTrack> tracks, std::string elapsedCaption);

  void Play();
  void Pause();
  void Stop();
  /// Seeks by `seconds` inside the current track; nothing while paused or stopped.
  void Seek(int seconds) { SeekBy(std::int64_t{seconds} * 1000); }
  /// Seeks by `ms` from the position the device reports, clamped to the current track.
  void SeekBy(std::int64_t ms);
  /// Seeks to `ms` from the start of the current track, clamped to it.
  void SeekTo(std::int64_t ms);
  /// The track-selection event (a list click, or a change of the selection by the program).
  void SelectTrack(int index);
  void SetRandom(bool on) { m_random = on; }
  void SetLoop(bool on) { m_loop = on; }
  /// A click on "Random": the count of random choices starts again.
  void RandomClicked() { m_randomPlays = 0; }
  /// The progress timer's tick: position, elapsed time, end of track.
  void ProgressTick();
  /// The blink timer's tick: the state word turns red or green.
  void BlinkTick();

  PlayState State() const { return m_state; }
  /// Why the last Play or tick stopped playing by itself: the device's error (CannotOpen for an
  /// album without audio); None while nothing failed.
  media::MediaError Failure() const { return m_failure; }
  const PlayerTexts& Texts() const { return m_texts; }
  int Selected() const { return m_selected; }
  int CurrentTrack() const { return m_currentTrack; }
  /// The track that plays or waits paused (a click on another line does not change it); -1
  /// while stopped.
  int PlayingTrack() const { return m_state == PlayState::Stopped ? -1 : m_playingTrack; }
  const std::string& WebPageName() const { return m_webPageName; }
  const std::vector<PlayerTrack>& Tracks() const { return m_tracks; }
  const std::string& AlbumPath() const { return m_albumPath; }
  std::int32_t TrackStart() const { return m_trackStartMs; }
  std::int32_t TrackEnd() const { return m_trackEndMs; }
  std::int32_t AlbumLength() const { return m_albumLengthMs; }
  /// The album position the last query answered (milliseconds).
  std::int32_t Position() const { return m_positionMs; }
  bool ResumePending() const { return m_resumePending; }
  int RandomPlays() const { return m_randomPlays; }
  bool Random() const { return m_random; }
  bool Loop() const { return m_loop; }
  /// Asks the device for the position now (for displays between ticks); nothing else changes.
  std::int32_t QueryPosition();

 private:
  void Select(int index);
  /// After the end of a track: the next one as Loop and Random say.
  void PlayNext();
  /// Stops the device without closing it (the album stays open for the next track).
  void Halt();
  void Close();
  /// Opens the album on the device when it is not open; false (and stopped) on failure.
  bool OpenAlbum();
  /// Stops and closes, and tells the listener why.
  void Fail(media::MediaError error);
  /// Pauses, then plays on at `target(position)` clamped to the current track.
  void SeekWith(const std::function<std::int64_t(std::int64_t position)>& target);
  void ClearReply();
  media::MediaError Query(std::string_view command);
  /// The number at the start of the reply (blanks skipped), or -1 when it holds none.
  std::int64_t ReplyNumber() const;
  std::int32_t ReplyValue() const;
  void SetPage(std::string page);
  void SetState(PlayState state);
  int ChooseRandom();

  media::MediaDevice& m_device;
  Timer& m_progress;
  PlayerListener& m_listener;
  RandomChoice m_choose;
  DecodedLengths m_decoded;

  std::string m_albumPath;
  std::vector<PlayerTrack> m_tracks;
  std::vector<std::int32_t> m_lengths;
  std::string m_reply;  ///< the 30-character reply buffer
  std::int32_t m_trackStartMs = 0;
  std::int32_t m_trackEndMs = 0;
  std::int32_t m_albumLengthMs = 0;
  std::int32_t m_positionMs = 0;
  std::int16_t m_randomPlays = 0;
  bool m_resumePending = false;
  int m_currentTrack = 0;
  int m_playingTrack = 0;
  int m_selected = -1;
  std::string m_webPageName;
  bool m_random = false;
  bool m_loop = false;
  PlayState m_state = PlayState::Stopped;
  bool m_open = false;  ///< the device holds the album
  media::MediaError m_failure = media::MediaError::None;
  std::string m_elapsedCaption;
  PlayerTexts m_texts;
};

}  // namespace player

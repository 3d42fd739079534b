#include "player/player.h"

#include <algorithm>
#include <limits>

#include "base/fileio.h"
#include "base/pagenames.h"
#include "base/random.h"
#include "base/text.h"
#include "base/timetext.h"
#include "media/decoder.h"

namespace player {
namespace {

std::int32_t Clamp(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int64_t SumBefore(const std::vector<std::int32_t>& lengths, int index) {
  std::int64_t sum = 0;
  for (int k = 0; k < index && k < static_cast<int>(lengths.size()); ++k) sum += lengths[k];
  return sum;
}

std::string Seconds(std::int64_t ms) {
  return base::FormatSeconds(static_cast<double>(ms) / 1000.0);
}

}  // namespace

std::int32_t TrackStartMs(const std::vector<std::int32_t>& lengths, int index) {
  if (index <= 0) return 0;
  return Clamp(SumBefore(lengths, index) - 1);
}

std::int32_t TrackEndMs(const std::vector<std::int32_t>& lengths, int index) {
  if (index >= static_cast<int>(lengths.size()) - 1) return 0;
  return Clamp(SumBefore(lengths, index + 1));
}

bool PossibleLengths(const std::vector<std::int32_t>& lengths, std::int32_t albumLengthMs) {
  std::int64_t sum = 0;
  for (const std::int32_t length : lengths) {
    if (length <= 0) return false;
    sum += length;
  }
  // Each length is rounded to the nearest millisecond.
  return sum <= std::int64_t{albumLengthMs} + static_cast<std::int64_t>(lengths.size());
}

Player::Player(media::MediaDevice& device, Timer& progressTimer, PlayerListener& listener,
               RandomChoice random, DecodedLengths decoded)
    : m_device(device),
      m_progress(progressTimer),
      m_listener(listener),
      m_choose(random ? std::move(random) : RandomChoice(base::RandomInt)),
      m_decoded(
          decoded ? std::move(decoded)
                  : [](const std::string& path,
                       const std::vector<std::int64_t>&
                           sizes) { return media::SpanLengths(base::PathFromUtf8(path), sizes); }),
      m_webPageName(base::kMainPageName) {
  ClearReply();
}

void Player::Load(std::string albumPath, std::vector<PlayerTrack> tracks,
                  std::string elapsedCaption) {
  Stop();
  m_albumPath = std::move(albumPath);
  m_tracks = std::move(tracks);
  m_lengths.clear();
  for (const PlayerTrack& track : m_tracks) m_lengths.push_back(track.playLength);
  m_elapsedCaption = std::move(elapsedCaption);
  m_texts = PlayerTexts{};
  m_texts.elapsed = m_elapsedCaption;
  m_randomPlays = 0;
  m_selected = -1;
  m_failure = media::MediaError::None;
  SetPage(std::string(base::kMainPageName));
  if (!m_tracks.empty()) Select(0);
  m_listener.DisplayChanged();
}

void Player::ClearReply() {
  m_reply.assign(kReplySize, ' ');
}

media::MediaError Player::Query(std::string_view command) {
  // Like a fixed reply buffer: at most 29 characters and a terminator; a failed query
  // leaves nothing to read.
  const media::MediaReply reply = m_device.SendString(command);
  ClearReply();
  const std::string text = reply.text.substr(0, kReplySize - 1);
  std::copy(text.begin(), text.end(), m_reply.begin());
  return reply.error;
}

std::int64_t Player::ReplyNumber() const {
  std::size_t at = m_reply.find_first_not_of(' ');
  if (at == std::string::npos || m_reply[at] < '0' || m_reply[at] > '9') return -1;
  std::int64_t value = 0;
  for (; at < m_reply.size() && m_reply[at] >= '0' && m_reply[at] <= '9'; ++at) {
    value = std::min<std::int64_t>(value * 10 + (m_reply[at] - '0'),
                                   std::numeric_limits<std::int32_t>::max());
  }
  return value;
}

std::int32_t Player::ReplyValue() const {
  return static_cast<std::int32_t>(std::max<std::int64_t>(ReplyNumber(), 0));
}

void Player::SetPage(std::string page) {
  m_webPageName = std::move(page);
  m_listener.PageChanged();
}

void Player::SetState(PlayState state) {
  m_state = state;
  switch (state) {
    case PlayState::Stopped:
      m_texts.state = kStoppedWord;
      break;
    case PlayState::Playing:
      m_texts.state = kPlayingWord;
      break;
    case PlayState::Paused:
      m_texts.state = kPausedWord;
      break;
  }
}

int Player::ChooseRandom() {
  const int count = static_cast<int>(m_tracks.size());
  return std::clamp(m_choose(0, count - 1), 0, std::max(count - 1, 0));
}

void Player::Select(int index) {
  m_selected = index;
  m_listener.SelectionChanged(index);
  SelectTrack(index);
}

void Player::SelectTrack(int index) {
  if (index < 0 || index >= static_cast<int>(m_tracks.size())) return;
  m_selected = index;
  m_texts.trackLength = Seconds(m_tracks[static_cast<std::size_t>(index)].playLength);
  if (index != m_currentTrack) {
    // A paused track is given up: the next Play starts the newly chosen one.
    m_resumePending = false;
    ClearReply();
    m_currentTrack = index;
  }
  m_listener.DisplayChanged();
}

bool Player::OpenAlbum() {
  // The album stays open from track to track: a file removed or replaced meanwhile plays on
  // as it was when playing started.
  if (m_open) return true;
  const media::MediaReply opened = m_device.SendString(media::OpenCommand(m_albumPath));
  if (!opened.ok()) {
    Fail(opened.error);
    return false;
  }
  m_open = true;
  (void)Query("status mp3 length");
  m_albumLengthMs = ReplyValue();
  ClearReply();
  m_texts.albumLength = Seconds(m_albumLengthMs);
  if (m_albumLengthMs <= 0) {
    Fail(media::MediaError::CannotOpen);
    return false;
  }
  if (!PossibleLengths(m_lengths, m_albumLengthMs)) {
    std::vector<std::int64_t> sizes;
    for (const PlayerTrack& track : m_tracks) sizes.push_back(track.audioBytes);
    const auto decoded = m_decoded(m_albumPath, sizes);
    if (decoded && decoded->size() == m_tracks.size()) {
      m_lengths = *decoded;
      for (std::size_t k = 0; k < m_tracks.size(); ++k) m_tracks[k].playLength = m_lengths[k];
      m_texts.trackLength = Seconds(m_lengths[static_cast<std::size_t>(m_selected)]);
    }
  }
  return true;
}

void Player::Fail(media::MediaError error) {
  Stop();
  m_failure = error == media::MediaError::None ? media::MediaError::CannotOpen : error;
  m_listener.PlayFailed();
}

void Player::Play() {
  if (m_tracks.empty() || m_selected < 0) return;
  m_failure = media::MediaError::None;
  const bool newStart = !m_resumePending;
  std::int64_t from = 0;
  if (newStart) {
    Halt();
    if (m_random) {
      Select(ChooseRandom());
      ++m_randomPlays;
    }
    if (!OpenAlbum()) return;
    m_currentTrack = m_playingTrack = m_selected;
    // Whatever the lengths, a track starts inside the album and does not end before it starts
    // (one that ends past the album ends with it).
    m_trackStartMs = std::clamp(TrackStartMs(m_lengths, m_selected), 0, m_albumLengthMs);
    m_trackEndMs = TrackEndMs(m_lengths, m_selected);
    if (m_trackEndMs == 0) m_trackEndMs = m_albumLengthMs;
    m_trackEndMs = std::max(m_trackEndMs, m_trackStartMs);
    SetPage(base::TrackPageName(m_currentTrack + 1));
    from = m_trackStartMs;
  } else {
    m_resumePending = false;
  }
  m_texts.currentSong = m_tracks[static_cast<std::size_t>(m_selected)].title;
  if (ReplyNumber() >= 0) from = ReplyNumber();
  (void)m_device.SendString("set mp3 time format tmsf");
  const media::MediaReply played = m_device.SendString("play mp3 from " + std::to_string(from));
  if (!played.ok()) {
    Fail(played.error);
    return;
  }
  m_positionMs = static_cast<std::int32_t>(from);
  SetState(PlayState::Playing);
  m_progress.SetEnabled(true);
  m_listener.DisplayChanged();
}

void Player::Pause() {
  // Paused already, or nothing loaded to pause: the device is closed.
  if (m_resumePending || m_state == PlayState::Stopped) return;
  (void)m_device.SendString("pause mp3");
  (void)Query("status mp3 position");
  m_positionMs = ReplyValue();
  m_resumePending = true;
  m_progress.SetEnabled(false);
  SetState(PlayState::Paused);
  m_listener.DisplayChanged();
}

void Player::Stop() {
  Halt();
  Close();
}

void Player::Close() {
  (void)m_device.SendString("close all");
  m_open = false;
}

void Player::Halt() {
  ClearReply();
  m_resumePending = false;
  m_progress.SetEnabled(false);
  m_texts.elapsed.clear();
  (void)m_device.SendString("stop mp3");
  SetState(PlayState::Stopped);
  m_texts.currentSong.clear();
  SetPage(std::string(base::kMainPageName));
  m_listener.DisplayChanged();
}

void Player::SeekBy(std::int64_t ms) {
  SeekWith([ms](std::int64_t position) { return position + ms; });
}

void Player::SeekTo(std::int64_t ms) {
  const std::int64_t start = m_trackStartMs;
  SeekWith([ms, start](std::int64_t) { return start + ms; });
}

void Player::SeekWith(const std::function<std::int64_t(std::int64_t position)>& target) {
  if (m_resumePending || m_state != PlayState::Playing) return;
  (void)m_device.SendString("pause mp3");
  (void)Query("status mp3 position");
  m_resumePending = true;
  m_progress.SetEnabled(false);
  std::int64_t p = target(ReplyValue());
  // A seek never leaves the current track.
  if (p >= m_trackEndMs) p = m_trackEndMs;
  if (p <= m_trackStartMs) p = m_trackStartMs;
  ClearReply();
  const std::string text = " " + std::to_string(p);
  std::copy(text.begin(), text.end(), m_reply.begin());
  Play();
}

std::int32_t Player::QueryPosition() {
  if (m_state != PlayState::Playing) return m_positionMs;
  // Outside the rules' own queries: the reply buffer keeps what they put there.
  const media::MediaReply reply = m_device.SendString("status mp3 position");
  if (reply.ok() && !reply.text.empty()) {
    m_positionMs = Clamp(static_cast<std::int64_t>(base::LeadingNumber(reply.text)));
  }
  return m_positionMs;
}

void Player::ProgressTick() {
  // A position the device cannot give means playing failed: never the end of a track.
  if (const media::MediaError error = Query("status mp3 position");
      error != media::MediaError::None) {
    Fail(error);
    return;
  }
  const std::int32_t pos = ReplyValue();
  m_positionMs = pos;
  m_texts.elapsed = Seconds(std::int64_t{pos} - m_trackStartMs);
  m_listener.DisplayChanged();
  if (pos < std::int64_t{m_trackEndMs} - 50 && pos < m_albumLengthMs) return;

  Halt();
  PlayNext();
  if (m_state == PlayState::Stopped && m_open) Close();
}

void Player::PlayNext() {
  const int count = static_cast<int>(m_tracks.size());
  if (m_loop) {
    Select(m_selected + 1 < count ? m_selected + 1 : 0);
    if (!m_random) Play();
  }
  if (m_failure != media::MediaError::None) return;
  if (m_random) {
    if (m_randomPlays < count - 1) {
      Select(ChooseRandom());
      Play();
    } else {
      m_randomPlays = 0;
      if (m_loop) {
        Select(ChooseRandom());
        Play();
      }
    }
  }
}

void Player::BlinkTick() {
  m_texts.stateColour = m_texts.stateColour == kRed ? kGreen : kRed;
  m_listener.DisplayChanged();
}

}  // namespace player

// The player's rules against a scripted device: commands sent, boundaries, end of track,
// seeks, pause and resume, Loop and Random, texts and pages; the player session's rules that
// every front end shares. Then the rules on the real device
// with SDL's silent driver, and `lyrabinder-cli play`, on an album made by the command line
// from tracks made by lame.
#include "player/player.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "session/playersession.h"
#include "tests/support/testsupport.h"

namespace player {
namespace {

using nlohmann::json;
using ::testing::HasSubstr;
using testsupport::Quote;
using testsupport::RunCommand;

class ScriptedDevice final : public media::MediaDevice {
 public:
  media::MediaReply SendString(std::string_view command) override {
    sent.emplace_back(command);
    for (const auto& [start, error] : failing) {
      if (command.starts_with(start)) return {error, {}};
    }
    if (command == "status mp3 length") return {media::MediaError::None, std::to_string(length)};
    if (command == "status mp3 position") {
      return {media::MediaError::None, std::to_string(position)};
    }
    return {};
  }
  /// The commands sent since the last call.
  std::vector<std::string> Take() { return std::exchange(sent, {}); }

  std::vector<std::string> sent;
  std::int32_t length = 6000;
  std::int32_t position = 0;
  /// Commands that fail: how they start, and the error.
  std::vector<std::pair<std::string, media::MediaError>> failing;
};

class FakeTimer final : public Timer {
 public:
  void SetEnabled(bool enabled) override { on = enabled; }
  bool Enabled() const override { return on; }
  bool on = false;
};

class Recorder final : public PlayerListener {
 public:
  void SelectionChanged(int index) override { selections.push_back(index); }
  void PageChanged() override {}
  void DisplayChanged() override {}
  void PlayFailed() override { ++failures; }
  std::vector<int> selections;
  int failures = 0;
};

class Rules : public ::testing::Test {
 protected:
  Rules()
      : m_player(m_device, m_timer, m_listener, [this](int low, int high) {
          EXPECT_EQ(low, 0);
          EXPECT_EQ(high, static_cast<int>(m_player.Tracks().size()) - 1);
          const int next = m_randoms.empty() ? 0 : m_randoms.front();
          if (!m_randoms.empty()) m_randoms.pop_front();
          return next;
        }) {}

  void Load(std::vector<std::int32_t> lengths) {
    std::vector<PlayerTrack> tracks;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
      tracks.push_back({"Song " + std::to_string(i + 1), lengths[i]});
    }
    m_player.Load("/music/My Album_LB.MP3", tracks, "(Click) FF - RWD ...");
    m_device.Take();
  }

  /// Plays track `index` from its start and forgets the commands.
  void PlayTrack(int index) {
    m_player.SelectTrack(index);
    m_player.Play();
    m_device.Take();
  }

  void TickAt(std::int32_t position) {
    m_device.position = position;
    m_player.ProgressTick();
  }

  /// What the window shows: state, elapsed, track length, album length, song, page.
  std::vector<std::string> Shown() const {
    const PlayerTexts& t = m_player.Texts();
    return {t.state,       t.elapsed,     t.trackLength,
            t.albumLength, t.currentSong, m_player.WebPageName()};
  }

  /// Whether the commands sent since the last call hold `command`.
  bool Sent(const std::string& command) {
    const auto sent = m_device.Take();
    return std::find(sent.begin(), sent.end(), command) != sent.end();
  }

  ScriptedDevice m_device;
  FakeTimer m_timer;
  Recorder m_listener;
  std::deque<int> m_randoms;
  Player m_player;
};

using Strings = std::vector<std::string>;

TEST(Boundaries, TracksOverlapByOneMillisecondAndTheLastRunsToTheAlbumEnd) {
  const std::vector<std::int32_t> lengths{1000, 2000, 3000};
  const struct {
    int index;
    std::int32_t start, end;
  } cases[] = {{0, 0, 1000}, {1, 999, 3000}, {2, 2999, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(TrackStartMs(lengths, c.index), c.start);
    EXPECT_EQ(TrackEndMs(lengths, c.index), c.end);
  }
  // Hostile lengths cannot overflow the sums.
  const std::vector<std::int32_t> huge{2147483647, 2147483647, 5};
  EXPECT_EQ(TrackStartMs(huge, 2), 2147483647);
  EXPECT_EQ(TrackEndMs(huge, 1), 2147483647);
}

TEST_F(Rules, NewStartOpensTheAlbumAndPlaysTheTrackStretch) {
  Load({1000, 2000, 3000});
  EXPECT_EQ(Shown(), (Strings{"STOPPED", "(Click) FF - RWD ...", "00:01", "Press Play", "",
                              "MP3 - LyrabinderWeb.htm"}));

  m_player.SelectTrack(2);
  EXPECT_EQ(m_player.Texts().trackLength, "00:03");
  m_player.Play();
  EXPECT_EQ(m_device.Take(),
            (Strings{"stop mp3", "open \"/music/My Album_LB.MP3\" type MPEGVideo alias mp3",
                     "status mp3 length", "set mp3 time format tmsf", "play mp3 from 2999"}));
  EXPECT_EQ(m_player.TrackStart(), 2999);
  EXPECT_EQ(m_player.TrackEnd(), 6000);  // the last track ends where the device says
  EXPECT_EQ(Shown(), (Strings{"PLAYING", "", "00:03", "00:06", "Song 3", "dynamic3.htm"}));
  EXPECT_TRUE(m_timer.on);

  TickAt(4000);
  EXPECT_EQ(m_player.Texts().elapsed, "00:01");
  m_player.Stop();
  EXPECT_EQ(m_device.Take(), (Strings{"status mp3 position", "stop mp3", "close all"}));
  EXPECT_EQ(Shown(), (Strings{"STOPPED", "", "00:03", "00:06", "", "MP3 - LyrabinderWeb.htm"}));
  EXPECT_FALSE(m_timer.on);
}

TEST_F(Rules, TrackEndsFiftyMillisecondsEarlyOrAtTheAlbumEnd) {
  Load({1000, 2000, 3000});
  const struct {
    const char* name;
    int track;
    std::int32_t albumLength;
    std::int32_t stillPlaying, ended;
  } cases[] = {
      {"first track", 0, 6000, 949, 950},
      {"middle track", 1, 6000, 2949, 2950},
      {"last track ends with the album", 2, 6000, 5949, 5950},
      {"album shorter than the directory says", 0, 900, 899, 900},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    m_player.Stop();  // the length is asked when the album opens
    m_device.length = c.albumLength;
    PlayTrack(c.track);
    TickAt(c.stillPlaying);
    EXPECT_EQ(m_player.State(), PlayState::Playing);
    TickAt(c.ended);
    EXPECT_EQ(m_player.State(), PlayState::Stopped);
    EXPECT_FALSE(m_timer.on);
  }
}

TEST_F(Rules, SeeksStayInsideTheTrack) {
  Load({1000, 2000, 3000});
  const struct {
    std::int32_t position;
    int seconds;
    const char* expected;
  } cases[] = {
      {2500, 60, "play mp3 from 3000"}, {2500, 5, "play mp3 from 3000"},
      {1200, -60, "play mp3 from 999"}, {1200, -5, "play mp3 from 999"},
      {1200, 1, "play mp3 from 2200"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    PlayTrack(1);
    m_device.position = c.position;
    m_player.Seek(c.seconds);
    EXPECT_EQ(m_device.Take(), (Strings{"pause mp3", "status mp3 position",
                                        "set mp3 time format tmsf", c.expected}));
    EXPECT_EQ(m_player.State(), PlayState::Playing);
    EXPECT_TRUE(m_timer.on);
  }
  PlayTrack(1);
  m_player.SeekTo(500);
  EXPECT_EQ(m_device.Take()[3], "play mp3 from 1499");
  PlayTrack(1);
  m_player.SeekTo(5000);
  EXPECT_EQ(m_device.Take()[3], "play mp3 from 3000");

  // A seek to the end: the next tick ends the track.
  PlayTrack(1);
  m_device.position = 2500;
  m_player.Seek(60);
  TickAt(3000);
  EXPECT_EQ(m_player.State(), PlayState::Stopped);

  // Stopped or paused: a seek does nothing.
  m_device.Take();
  m_player.Seek(5);
  EXPECT_TRUE(m_device.Take().empty());
  PlayTrack(0);
  m_player.Pause();
  m_device.Take();
  m_player.Seek(5);
  EXPECT_TRUE(m_device.Take().empty());
  EXPECT_EQ(m_player.State(), PlayState::Paused);
}

TEST_F(Rules, PauseAndPlayResumeAtTheSavedPositionUnlessAnotherTrackOrStopCame) {
  Load({1000, 2000, 3000});
  PlayTrack(1);
  m_device.position = 1500;
  m_player.Pause();
  EXPECT_EQ(m_device.Take(), (Strings{"pause mp3", "status mp3 position"}));
  EXPECT_EQ(m_player.Texts().state, "PAUSED");
  EXPECT_FALSE(m_timer.on);
  m_player.Pause();  // paused already
  EXPECT_TRUE(m_device.Take().empty());

  m_player.Play();
  EXPECT_EQ(m_device.Take(), (Strings{"set mp3 time format tmsf", "play mp3 from 1500"}));
  EXPECT_EQ(m_player.Texts().currentSong, "Song 2");
  EXPECT_EQ(m_player.WebPageName(), "dynamic2.htm");
  EXPECT_EQ(m_player.State(), PlayState::Playing);

  // Another track or Stop while paused starts from the beginning.
  m_player.Pause();
  m_player.SelectTrack(2);
  m_device.Take();
  m_player.Play();
  EXPECT_TRUE(Sent("play mp3 from 2999"));
  EXPECT_EQ(m_player.Texts().currentSong, "Song 3");

  m_device.position = 4000;
  m_player.Pause();
  m_player.Stop();
  m_device.Take();
  m_player.Play();
  EXPECT_TRUE(Sent("play mp3 from 2999"));

  // Pause with nothing playing does nothing: there is no open album to pause.
  m_player.Stop();
  m_device.Take();
  m_player.Pause();
  EXPECT_TRUE(m_device.Take().empty());
  EXPECT_EQ(m_player.State(), PlayState::Stopped);
}

TEST_F(Rules, LoopWrapsToTheFirstTrack) {
  Load({1000, 2000, 3000});
  m_player.SetLoop(true);
  PlayTrack(2);
  m_listener.selections.clear();
  TickAt(5990);
  EXPECT_EQ(m_listener.selections, std::vector<int>{0});
  EXPECT_EQ(m_player.State(), PlayState::Playing);
  EXPECT_EQ(m_player.CurrentTrack(), 0);
  EXPECT_EQ(m_player.WebPageName(), "dynamic1.htm");
  // The album stays open: a file removed or replaced meanwhile plays on as it was.
  EXPECT_EQ(m_device.Take(), (Strings{"status mp3 position", "stop mp3", "stop mp3",
                                      "set mp3 time format tmsf", "play mp3 from 0"}));
}

TEST_F(Rules, AFailedPositionStopsPlayingOnceEvenWithLoop) {
  Load({1000, 2000, 3000});
  m_player.SetLoop(true);
  PlayTrack(0);
  m_device.failing = {{"status mp3 position", media::MediaError::FileShrank}};
  TickAt(100);
  EXPECT_EQ(m_player.State(), PlayState::Stopped);
  EXPECT_EQ(m_player.Failure(), media::MediaError::FileShrank);
  EXPECT_EQ(m_listener.failures, 1);
  EXPECT_FALSE(m_timer.on);
  EXPECT_EQ(m_device.Take().back(), "close all");
  // An album that will not open, or opens without audio, fails the same way.
  for (const auto& failing : {std::pair{"open", media::MediaError::CannotOpen},
                              std::pair{"status mp3 length", media::MediaError::None}}) {
    m_device.failing = {failing};
    m_player.Play();
    EXPECT_EQ(m_player.State(), PlayState::Stopped);
    EXPECT_EQ(m_player.Failure(), media::MediaError::CannotOpen);
  }
  EXPECT_EQ(m_listener.failures, 3);
}

TEST_F(Rules, RandomPlaysCountedChoicesThenStops) {
  Load({1000, 2000, 3000});
  m_player.SetRandom(true);
  m_randoms = {1, 2, 0};
  m_player.Play();  // a random track of its own choosing: 1
  EXPECT_EQ(m_player.CurrentTrack(), 1);
  EXPECT_EQ(m_player.RandomPlays(), 1);
  TickAt(2990);  // the end chooses 2, and Play chooses 0 in its turn
  EXPECT_EQ(m_player.CurrentTrack(), 0);
  EXPECT_EQ(m_player.RandomPlays(), 2);
  TickAt(990);  // two choices made on three tracks: stop
  EXPECT_EQ(m_player.State(), PlayState::Stopped);
  EXPECT_EQ(m_player.RandomPlays(), 0);

  m_player.RandomClicked();
  EXPECT_EQ(m_player.RandomPlays(), 0);
}

TEST_F(Rules, RandomOnOneTrackPlaysItOnce) {
  Load({4000});
  m_player.SetRandom(true);
  m_player.Play();
  EXPECT_EQ(m_player.State(), PlayState::Playing);
  EXPECT_EQ(m_player.TrackEnd(), 6000);
  TickAt(5950);
  EXPECT_EQ(m_player.State(), PlayState::Stopped);
  EXPECT_EQ(m_player.RandomPlays(), 0);
}

TEST_F(Rules, RandomWithLoopNeverStops) {
  Load({1000, 2000});
  m_player.SetRandom(true);
  m_player.SetLoop(true);
  m_player.Play();
  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    TickAt(5990);
    EXPECT_EQ(m_player.State(), PlayState::Playing);
  }
}

TEST_F(Rules, BlinkAlternatesRedAndGreen) {
  Load({1000});
  EXPECT_EQ(m_player.Texts().stateColour, 255);
  m_player.BlinkTick();
  EXPECT_EQ(m_player.Texts().stateColour, 65280);
  m_player.BlinkTick();
  EXPECT_EQ(m_player.Texts().stateColour, 255);
}

const std::string kCli = LB_CLI;

class Observed final : public session::PlayerObserver {
 public:
  void SelectionChanged(int index) override { selections.push_back(index); }
  void DisplayChanged() override { ++displays; }
  void VolumeChanged() override { ++volumes; }
  std::vector<int> selections;
  int displays = 0;
  int volumes = 0;
};

// Tracks 0-1000, 999-3000 and 2999 to the album's end (6000), seen by a window and an adaptor.
class Session : public ::testing::Test {
 protected:
  Session()
      : m_session(m_timer, std::unique_ptr<media::MediaDevice>(m_device = new ScriptedDevice),
                  [](int, int) { return 0; }) {
    m_session.AddObserver(m_window);
    m_session.AddObserver(m_adaptor);
    m_session.Load({"/music/A_LB.MP3", {{"One", 1000}, {"Two", 2000}, {"Three", 3000}}}, "");
  }
  FakeTimer m_timer;
  ScriptedDevice* m_device = nullptr;  // the session's
  Observed m_window, m_adaptor;
  session::PlayerSession m_session;
};

TEST_F(Session, NextAndPreviousCountFromTheTrackHeardNotTheLineClicked) {
  struct Case {
    const char* why;
    int playing;  // -1: stopped
    int clicked;
    bool next;
    int expected;
  };
  const Case cases[] = {{"next after the track heard", 1, 0, true, 2},
                        {"next after the last is the first", 2, 0, true, 0},
                        {"previous before the track heard", 2, 0, false, 1},
                        {"previous on the first stays", 0, 2, false, 0},
                        {"stopped, from the line clicked", -1, 1, true, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    m_session.Stop();
    if (c.playing >= 0) m_session.PlayEntry(c.playing);
    m_session.SelectTrack(c.clicked);
    c.next ? m_session.Next() : m_session.Previous();
    EXPECT_EQ(m_session.Rules().PlayingTrack(), c.expected);
    EXPECT_EQ(m_window.selections.back(), c.expected);
    EXPECT_EQ(m_adaptor.selections.back(), c.expected);
  }
}

TEST_F(Session, APositionOutsideThePlayingTrackIsIgnored) {
  m_session.PlayEntry(1);  // 2001 ms long
  const std::tuple<const char*, int, std::int64_t, bool> cases[] = {
      {"another track", 0, 500, false},
      {"before the track", 1, -1, false},
      {"past the track", 1, 2002, false},
      {"its end", 1, 2001, true},
      {"its start", 1, 0, true}};
  for (const auto& [why, track, ms, moved] : cases) {
    SCOPED_TRACE(why);
    m_device->Take();
    EXPECT_EQ(m_session.SetPosition(track, ms), moved);
    EXPECT_EQ(m_device->Take().empty(), !moved);
  }
  m_session.Pause();
  EXPECT_FALSE(m_session.SetPosition(1, 100));
  EXPECT_FALSE(m_session.SeekBy(100));
}

TEST_F(Session, AWholeAlbumStopsAfterItsLastTrackUnlessLoop) {
  m_session.SetWholeAlbum(true);
  for (const bool loop : {false, true}) {
    SCOPED_TRACE(loop);
    m_session.SetLoop(loop);
    m_window.selections.clear();
    m_session.PlayEntry(0);
    for (const std::int32_t position : {1000, 3000, 6000}) {
      m_device->position = position;
      m_session.ProgressTick();
    }
    EXPECT_EQ(m_session.Rules().State(), loop ? PlayState::Playing : PlayState::Stopped);
    const std::vector<int> selected = loop ? std::vector{0, 1, 2, 0} : std::vector{0, 1, 2};
    EXPECT_EQ(m_window.selections, selected);
    m_session.Stop();
  }
}

TEST_F(Session, VolumeLoopAndRandomReachTheDeviceAndEveryObserver) {
  m_session.SetVolume(150);
  EXPECT_EQ(m_session.Volume(), 100);
  EXPECT_THAT(m_device->Take(), ::testing::Contains("setaudio all volume to 1000"));
  EXPECT_EQ(m_window.volumes, 1);
  EXPECT_EQ(m_adaptor.volumes, 1);
  m_session.RemoveObserver(m_adaptor);
  const int adaptorSaw = m_adaptor.displays, windowSaw = m_window.displays;
  m_session.SetLoop(true);
  m_session.SetRandom(true);
  EXPECT_TRUE(m_session.Loop() && m_session.Random());
  EXPECT_EQ(m_window.displays, windowSaw + 2);
  EXPECT_EQ(m_adaptor.displays, adaptorSaw);
}

class Playing : public ::testing::Test {
 protected:
  void SetUp() override {
    // No sound card needed: SDL's silent driver plays in real time.
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(testsupport::Peer("lame", "lame"));
    std::filesystem::create_directory(m_dir / "tracks");
    const double seconds[] = {1.3, 1.7, 2.2};
    for (int i = 0; i < 3; ++i) {
      const std::string name = "0" + std::to_string(i + 1) + " - Song " + std::to_string(i + 1);
      ASSERT_TRUE(
          testsupport::MakeMp3(m_dir / "tracks" / (name + ".mp3"), seconds[i], 300.0 + 100 * i));
    }
    m_album = (m_dir / "Band - Record _LB.MP3").string();
    ASSERT_EQ(RunCommand(Quote(kCli) + " create --folder " + Quote(m_dir / "tracks") + " -o " +
                         Quote(m_album) + " --title Record --artist Band --year 2001 --force"),
              0);
    std::string listing;
    ASSERT_EQ(RunCommand(Quote(kCli) + " list --json " + Quote(m_album), &listing), 0);
    const json parsed = json::parse(listing);
    for (const json& item : parsed["items"]) {
      if (item["kind"] == "track") {
        m_tracks.push_back({item["title"].get<std::string>(), item["play_ms"].get<std::int32_t>()});
      }
    }
    ASSERT_EQ(m_tracks.size(), 3u) << listing;
  }

  // Waits on the output's clock, not on ours: a busy machine may starve the output for a while.
  static bool WaitUntilPast(media::MediaDevice& device, std::int64_t ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      const media::MediaReply reply = device.SendString("status mp3 position");
      if (reply.ok() && std::stoll(reply.text) > ms) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  testsupport::ScopedTempDir m_dir;
  std::string m_album;
  std::vector<PlayerTrack> m_tracks;
};

TEST_F(Playing, TheRulesPlayTheRealDevice) {
  auto device = media::CreateMediaDevice();
  // The album is as long as its tracks (they overlap by 1 ms).
  std::int64_t sum = 0;
  for (const PlayerTrack& track : m_tracks) sum += track.playLength;
  ASSERT_TRUE(device->SendString(media::OpenCommand(m_album)).ok());
  const std::int64_t length = std::stoll(device->SendString("status mp3 length").text);
  EXPECT_NEAR(static_cast<double>(length), static_cast<double>(sum), 3.0);

  FakeTimer timer;
  Recorder listener;
  Player player(*device, timer, listener);
  player.Load(m_album, m_tracks, "");
  player.Play();
  ASSERT_EQ(player.State(), PlayState::Playing);
  ASSERT_TRUE(WaitUntilPast(*device, player.TrackEnd()));
  player.ProgressTick();  // past the end of track 1
  EXPECT_EQ(player.State(), PlayState::Stopped);

  player.SelectTrack(1);
  player.Play();
  EXPECT_EQ(player.TrackStart(), m_tracks[0].playLength - 1);
  ASSERT_TRUE(WaitUntilPast(*device, player.TrackStart() + 100));
  player.ProgressTick();
  EXPECT_EQ(player.State(), PlayState::Playing);
  EXPECT_GT(player.Position(), player.TrackStart());

  // A seek lands where it was sent, give or take a frame (26 ms), plus the output buffers
  // (23 ms each) the output may have taken already on a slow machine.
  constexpr int kTaken = 3 * 23;
  player.SeekTo(1000);
  const std::int32_t landed = player.QueryPosition() - (player.TrackStart() + 1000);
  EXPECT_GE(landed, -26);
  EXPECT_LE(landed, 26 + kTaken);

  player.Pause();
  const std::int32_t paused = player.Position();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  player.Play();
  EXPECT_LE(std::abs(player.QueryPosition() - paused), 26 + kTaken);

  // Loop off: the track ends and playing stops.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (player.State() == PlayState::Playing && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kProgressIntervalMs));
    player.ProgressTick();
  }
  EXPECT_EQ(player.State(), PlayState::Stopped);
  EXPECT_GE(player.Position(), player.TrackEnd() - 50);
}

TEST_F(Playing, CommandLinePlayReportsAdvancingPositions) {
  std::string output;
  ASSERT_EQ(RunCommand("SDL_AUDIODRIVER=dummy " + Quote(kCli) + " play " + Quote(m_album) +
                           " --for 1500 --json",
                       &output),
            0);
  std::istringstream lines(output);
  std::string line;
  std::vector<json> objects;
  while (std::getline(lines, line)) objects.push_back(json::parse(line));
  ASSERT_GE(objects.size(), 3u) << output;
  for (std::size_t i = 1; i + 1 < objects.size(); ++i) {
    EXPECT_GT(objects[i]["position_ms"], objects[i - 1]["position_ms"]) << output;
  }
  EXPECT_EQ(objects.front()["state"], "playing");
  EXPECT_EQ(objects.front()["track"], 1);
  EXPECT_EQ(objects.front()["title"], "Song 1");
  EXPECT_EQ(objects.front()["track_end_ms"], m_tracks[0].playLength);
  EXPECT_EQ(objects.back()["state"], "stopped");

  // Values out of range are named with the album's own range; nothing plays.
  const std::string length = std::to_string(m_tracks[0].playLength);
  const std::string from = "--from: track 1 is " + length + " ms long; give 0 to " +
                           std::to_string(m_tracks[0].playLength - 1);
  for (const auto& [options, message] : std::vector<std::pair<std::string, std::string>>{
           {"--track 0", "--track: the album has tracks 1 to 3"},
           {"--from -1", from},
           {"--from " + length, from},
           {"--for -5", "--for: give a time of 0 ms or more"}}) {
    std::string error;
    EXPECT_EQ(RunCommand(Quote(kCli) + " play " + Quote(m_album) + " " + options, &error), 2);
    EXPECT_EQ(error, message + "\n");
  }

  // On a terminal one status line is redrawn in place, ended once.
  std::string screen;
  ASSERT_EQ(
      RunCommand("script -qec " + Quote(Quote(kCli) + " play " + Quote(m_album) + " --for 2500") +
                     " /dev/null",
                 &screen),
      0);
  EXPECT_EQ(std::count(screen.begin(), screen.end(), '\n'), 1) << screen;
  EXPECT_THAT(screen, HasSubstr("\rTrack 1 : Song 1  00:00 / 00:01"));
  EXPECT_THAT(screen, HasSubstr("\rTrack 2 : Song 2  00:0"));

  // A file that is no album.
  testsupport::WriteText(m_dir / "x_LB.MP3", std::string(2000, 'x'));
  std::string error;
  EXPECT_NE(RunCommand(Quote(kCli) + " play " + Quote(m_dir / "x_LB.MP3") + " 2>&1", &error), 0);
  EXPECT_THAT(error, HasSubstr("File Is Damaged, Or Of An Unsupported Type !"));
}

TEST_F(Playing, CommandLinePlayStopsOnAnAlbumCutShortAndPlaysOnFromARemovedOne) {
  namespace fs = std::filesystem;
  const auto copy = m_dir / "copy.bin";
  const struct {
    const char* why;
    std::function<void()> change;
    int status;
    const char* cause;
  } cases[] = {
      {"cut short", [this] { fs::resize_file(m_album, 10000); }, 1,
       "the file became shorter while it played"},
      {"removed", [this] { fs::remove(m_album); }, 0, ""},
      {"replaced", [this, copy] { fs::rename(copy, m_album); }, 0, ""},
  };
  const auto album = fs::path(m_album);
  const testsupport::Bytes original = testsupport::ReadFile(album);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    testsupport::WriteFile(album, original);
    // A replacement that is no album any more: only the open file plays on.
    testsupport::WriteFile(copy, {original.begin(), original.begin() + 10000});
    // Half a second before track 3: a removed album must carry on into it.
    const std::string command = "SDL_AUDIODRIVER=dummy " + Quote(kCli) + " play " + Quote(m_album) +
                                " --json --track 2 --from 1200 --for 2500 2>" +
                                Quote(m_dir / "err.txt");
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<json> shown;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
      shown.push_back(json::parse(line));
      if (shown.size() == 1) c.change();  // the album is open and playing
    }
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.status);
    const testsupport::Bytes text = testsupport::ReadFile(m_dir / "err.txt");
    const std::string errors(text.begin(), text.end());
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown.back()["state"], "stopped");
    // In order, never skipping a track.
    for (std::size_t i = 1; i < shown.size(); ++i) {
      EXPECT_LE(shown[i]["track"].get<int>() - shown[i - 1]["track"].get<int>(), 1);
      EXPECT_GE(shown[i]["position_ms"], shown[i - 1]["position_ms"]);
    }
    if (c.status == 0) {
      EXPECT_EQ(shown.back()["track"], 3);
      EXPECT_EQ(errors, "");
    } else {
      EXPECT_THAT(errors, HasSubstr(c.cause));
    }
  }
}

}  // namespace
}  // namespace player

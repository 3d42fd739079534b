// The player's rules against a scripted device: commands sent, boundaries, end of track,
// seeks, pause and resume, Loop and Random, texts and pages.
#include "player/player.h"

#include <gtest/gtest.h>

#include <deque>
#include <map>

namespace player {
namespace {

class ScriptedDevice final : public media::MediaDevice {
 public:
  media::MediaReply SendString(std::string_view command) override {
    sent.emplace_back(command);
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
  void PageChanged() override { ++pageChanges; }
  void DisplayChanged() override {}
  std::vector<int> selections;
  int pageChanges = 0;
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

  ScriptedDevice m_device;
  FakeTimer m_timer;
  Recorder m_listener;
  std::deque<int> m_randoms;
  Player m_player;
};

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
  EXPECT_EQ(m_player.Texts().albumLength, "Press Play");
  EXPECT_EQ(m_player.Texts().trackLength, "00:01");
  EXPECT_EQ(m_player.WebPageName(), "MP3 - LyrabinderWeb.htm");
  EXPECT_EQ(m_player.Texts().state, "STOPPED");
  EXPECT_EQ(m_player.Texts().elapsed, "(Click) FF - RWD ...");

  m_player.SelectTrack(2);
  EXPECT_EQ(m_player.Texts().trackLength, "00:03");
  m_player.Play();
  EXPECT_EQ(m_device.Take(),
            (std::vector<std::string>{
                "stop mp3", "close all", "open \"/music/My Album_LB.MP3\" type MPEGVideo alias mp3",
                "set mp3 time format tmsf", "play mp3 from 2999", "status mp3 length"}));
  EXPECT_EQ(m_player.TrackStart(), 2999);
  EXPECT_EQ(m_player.TrackEnd(), 6000);  // the last track ends where the device says
  EXPECT_EQ(m_player.Texts().albumLength, "00:06");
  EXPECT_EQ(m_player.Texts().state, "PLAYING");
  EXPECT_EQ(m_player.Texts().currentSong, "Song 3");
  EXPECT_EQ(m_player.WebPageName(), "dynamic3.htm");
  EXPECT_TRUE(m_timer.on);

  TickAt(4000);
  EXPECT_EQ(m_player.Texts().elapsed, "00:01");
  m_player.Stop();
  EXPECT_EQ(m_device.Take(),
            (std::vector<std::string>{"status mp3 position", "stop mp3", "close all"}));
  EXPECT_EQ(m_player.WebPageName(), "MP3 - LyrabinderWeb.htm");
  EXPECT_EQ(m_player.Texts().currentSong, "");
  EXPECT_EQ(m_player.Texts().elapsed, "");
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
    EXPECT_EQ(m_device.Take(), (std::vector<std::string>{"pause mp3", "status mp3 position",
                                                         "set mp3 time format tmsf", c.expected,
                                                         "status mp3 length"}));
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

TEST_F(Rules, PauseAndPlayResumeAtTheSavedPosition) {
  Load({1000, 2000, 3000});
  PlayTrack(1);
  m_device.position = 1500;
  m_player.Pause();
  EXPECT_EQ(m_device.Take(), (std::vector<std::string>{"pause mp3", "status mp3 position"}));
  EXPECT_EQ(m_player.Texts().state, "PAUSED");
  EXPECT_FALSE(m_timer.on);
  m_player.Pause();  // paused already
  EXPECT_TRUE(m_device.Take().empty());

  m_player.Play();
  EXPECT_EQ(m_device.Take(), (std::vector<std::string>{"set mp3 time format tmsf",
                                                       "play mp3 from 1500", "status mp3 length"}));
  EXPECT_EQ(m_player.Texts().currentSong, "Song 2");
  EXPECT_EQ(m_player.WebPageName(), "dynamic2.htm");
  EXPECT_EQ(m_player.State(), PlayState::Playing);
}

TEST_F(Rules, AnotherTrackOrStopWhilePausedStartsFromTheBeginning) {
  Load({1000, 2000, 3000});
  PlayTrack(1);
  m_device.position = 1500;
  m_player.Pause();
  m_player.SelectTrack(2);
  m_device.Take();
  m_player.Play();
  const auto started = m_device.Take();
  EXPECT_NE(std::find(started.begin(), started.end(), "play mp3 from 2999"), started.end());
  EXPECT_EQ(m_player.Texts().currentSong, "Song 3");

  m_device.position = 4000;
  m_player.Pause();
  m_player.Stop();
  m_device.Take();
  m_player.Play();
  const auto restarted = m_device.Take();
  EXPECT_NE(std::find(restarted.begin(), restarted.end(), "play mp3 from 2999"), restarted.end());

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
  const auto sent = m_device.Take();
  EXPECT_NE(std::find(sent.begin(), sent.end(), "play mp3 from 0"), sent.end());

  // Without Loop the album ends after its last track.
  m_player.SetLoop(false);
  PlayTrack(2);
  TickAt(6000);
  EXPECT_EQ(m_player.State(), PlayState::Stopped);
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

}  // namespace
}  // namespace player

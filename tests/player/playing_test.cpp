// The rules on the real device with SDL's silent driver, and `lyrabinder-cli play`, on an album
// made by the command line from tracks made by lame.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "media/mediadevice.h"
#include "player/player.h"
#include "tests/support/testsupport.h"

namespace player {
namespace {

using nlohmann::json;
using testsupport::Quote;
using testsupport::RunCommand;

const std::string kCli = LB_CLI;

class ManualTimer final : public Timer {
 public:
  void SetEnabled(bool enabled) override { on = enabled; }
  bool Enabled() const override { return on; }
  bool on = false;
};

class Quiet final : public PlayerListener {
 public:
  void SelectionChanged(int) override {}
  void PageChanged() override {}
  void DisplayChanged() override {}
};

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

  testsupport::ScopedTempDir m_dir;
  std::string m_album;
  std::vector<PlayerTrack> m_tracks;
};

TEST_F(Playing, AlbumLengthIsTheSumOfTheTrackLengths) {
  auto device = media::CreateMediaDevice();
  std::int64_t sum = 0;
  for (const PlayerTrack& track : m_tracks) sum += track.playLength;
  ASSERT_TRUE(device->SendString(media::OpenCommand(m_album)).ok());
  const std::int64_t length = std::stoll(device->SendString("status mp3 length").text);
  EXPECT_NEAR(static_cast<double>(length), static_cast<double>(sum), 3.0);  // 1 ms per track
}

TEST_F(Playing, TheRulesPlayTheRealDevice) {
  auto device = media::CreateMediaDevice();
  ManualTimer timer;
  Quiet quiet;
  Player player(*device, timer, quiet);
  player.Load(m_album, m_tracks, "");

  // The position follows the clock (from the moment Play has started the output, which the
  // first time loads SDL); a busy machine may run the output late.
  player.Play();
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(player.State(), PlayState::Playing);
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const std::int32_t position = player.QueryPosition();
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - started)
                           .count();
  EXPECT_NEAR(position, static_cast<double>(elapsed), 150.0);
  player.ProgressTick();  // past the end of track 1
  EXPECT_EQ(player.State(), PlayState::Stopped);

  player.SelectTrack(1);
  player.Play();
  EXPECT_EQ(player.TrackStart(), m_tracks[0].playLength - 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
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

  // A file that is no album.
  testsupport::WriteText(m_dir / "x_LB.MP3", std::string(2000, 'x'));
  std::string error;
  EXPECT_NE(RunCommand(Quote(kCli) + " play " + Quote(m_dir / "x_LB.MP3") + " 2>&1", &error), 0);
  EXPECT_NE(error.find("File Is Damaged, Or Of An Unsupported Type !"), std::string::npos) << error;
}

}  // namespace
}  // namespace player

// Playback through the device: exact seeks in the decoder, the commands against an output whose
// clock the test turns, and real time against SDL's silent driver.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "media/audiooutput.h"
#include "media/decoder.h"
#include "media/mediadevice.h"
#include "media/mpg123device.h"
#include "tests/support/testsupport.h"

namespace media {
namespace {

// The clock moves only when the test pulls.
class ManualOutput final : public AudioOutput {
 public:
  struct State {
    PcmPull pull;
    long rate = 0;
    bool paused = true;
    std::int64_t played = 0;
    bool destroyed = false;
  };
  explicit ManualOutput(std::shared_ptr<State> state) : m_state(std::move(state)) {}
  ~ManualOutput() override { m_state->destroyed = true; }
  bool Open(long rate, int /*channels*/, PcmPull pull) override {
    m_state->rate = rate;
    m_state->pull = std::move(pull);
    return true;
  }
  void SetPaused(bool paused) override { m_state->paused = paused; }
  void Reset(const std::function<void()>& change) override {
    change();
    m_state->played = 0;
  }
  std::int64_t PlayedFrames() const override { return m_state->played; }

 private:
  std::shared_ptr<State> m_state;
};

// `frames` frames through the output, as its thread would take them while not paused.
std::vector<std::int16_t> Pull(ManualOutput::State& state, std::size_t frames) {
  std::vector<std::int16_t> pcm(frames * 2);
  if (state.paused) return {};
  const std::size_t got = state.pull(pcm.data(), frames);
  pcm.resize(got * 2);
  state.played += static_cast<std::int64_t>(got);
  return pcm;
}

std::int64_t Number(MediaDevice& device, const std::string& command) {
  return std::atoll(device.SendString(command).text.c_str());
}

class Playback : public ::testing::Test {
 protected:
  void SetUp() override {
    // No sound card needed: SDL's silent driver plays in real time.
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_TRUE(testsupport::Peer("lame", "lame"));
    ASSERT_TRUE(testsupport::MakeMp3(m_dir / "tone.mp3", 3.0, 440.0));
  }
  std::string Path() const { return (m_dir / "tone.mp3").string(); }
  testsupport::ScopedTempDir m_dir;
};

TEST_F(Playback, DecoderSeeksToTheSample) {
  std::string error;
  auto whole = Decoder::Open(Path(), error);
  ASSERT_TRUE(whole) << error;
  ASSERT_EQ(whole->Channels(), 2);
  std::vector<std::int16_t> all(44100 * 4 * 2);
  all.resize(whole->ReadPcm(all.data(), all.size() / 2) * 2);
  const auto total = static_cast<std::int64_t>(all.size() / 2);
  ASSERT_EQ(total, whole->ScanSamples());

  auto decoder = Decoder::Open(Path(), error);
  ASSERT_TRUE(decoder);
  for (const std::int64_t target : {std::int64_t{44100}, std::int64_t{0}, std::int64_t{1151},
                                    std::int64_t{1152}, std::int64_t{5000}, total - 300}) {
    SCOPED_TRACE(target);
    ASSERT_EQ(decoder->SeekSample(target), target);
    std::vector<std::int16_t> pcm(200 * 2);
    ASSERT_EQ(decoder->ReadPcm(pcm.data(), 200), 200u);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), all.begin() + target * 2));
  }
  EXPECT_EQ(decoder->SeekSample(total + 5000).value_or(total), total);
  std::int16_t rest[64];
  EXPECT_EQ(decoder->ReadPcm(rest, 32), 0u);
}

TEST_F(Playback, CommandsMoveTheClockAndTheDecoder) {
  auto state = std::make_shared<ManualOutput::State>();
  Mpg123Device device([state] { return std::make_unique<ManualOutput>(state); });
  ASSERT_TRUE(device.SendString(OpenCommand(Path())).ok());
  const std::int64_t length = Number(device, "status mp3 length");

  ASSERT_TRUE(device.SendString("play mp3 from 1000").ok());
  EXPECT_EQ(state->rate, 44100);
  EXPECT_EQ(device.SendString("status mp3 mode").text, "playing");
  EXPECT_EQ(Number(device, "status mp3 position"), 1000);
  const auto loud = Pull(*state, 4410);
  EXPECT_EQ(Number(device, "status mp3 position"), 1100);

  EXPECT_TRUE(device.SendString("pause mp3").ok());
  EXPECT_EQ(device.SendString("status mp3 mode").text, "paused");
  EXPECT_TRUE(Pull(*state, 4410).empty());
  EXPECT_EQ(Number(device, "status mp3 position"), 1100);

  // Play without a position resumes; the volume scales what follows.
  EXPECT_TRUE(device.SendString("setaudio all volume to 500").ok());
  EXPECT_TRUE(device.SendString("play mp3").ok());
  EXPECT_EQ(Number(device, "status mp3 position"), 1100);
  EXPECT_TRUE(device.SendString("play mp3 from 1000").ok());
  const auto soft = Pull(*state, 4410);
  ASSERT_EQ(soft.size(), loud.size());
  for (std::size_t i = 0; i < soft.size(); i += 97) {
    EXPECT_NEAR(soft[i], loud[i] / 2, 1) << i;
  }
  EXPECT_TRUE(device.SendString("setaudio mp3 volume to 1000").ok());

  // Past the end the output gets nothing and the clock stands at the length.
  EXPECT_TRUE(device.SendString("play mp3 from " + std::to_string(length - 10)).ok());
  Pull(*state, 44100);
  EXPECT_EQ(Number(device, "status mp3 position"), length);
  EXPECT_TRUE(device.SendString("play mp3 from 99999999").ok());
  EXPECT_TRUE(Pull(*state, 100).empty());
  EXPECT_EQ(Number(device, "status mp3 position"), length);

  EXPECT_TRUE(device.SendString("stop mp3").ok());
  EXPECT_EQ(device.SendString("status mp3 mode").text, "stopped");
  EXPECT_TRUE(state->paused);
  EXPECT_TRUE(device.SendString("close all").ok());
  EXPECT_TRUE(state->destroyed);
  EXPECT_EQ(device.SendString("play mp3").error, MediaError::UnknownAlias);
}

// A silent output still plays in real time, so a headless machine plays.
TEST_F(Playback, DummyDriverClockFollowsRealTime) {
  auto device = CreateMediaDevice();
  ASSERT_TRUE(device->SendString(OpenCommand(Path())).ok());
  ASSERT_TRUE(device->SendString("play mp3 from 500").ok());
  // From the moment the output runs: the first play loads SDL.
  const auto started = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const std::int64_t position = Number(*device, "status mp3 position");
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - started)
                           .count();
  // The output takes a buffer or two (23 ms each) ahead of the clock; a busy machine may lag.
  EXPECT_NEAR(static_cast<double>(position - 500), static_cast<double>(elapsed), 150.0);
  EXPECT_TRUE(device->SendString("pause mp3").ok());
  const std::int64_t paused = Number(*device, "status mp3 position");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(Number(*device, "status mp3 position"), paused);
  EXPECT_TRUE(device->SendString("close all").ok());
}

}  // namespace
}  // namespace media

// The device's commands and lengths, and playback through it: exact seeks in the decoder, the
// commands against an output whose clock the test turns, and real time against SDL's silent
// driver.
#include "media/mediadevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>

#include "media/audiooutput.h"
#include "media/command.h"
#include "media/decoder.h"
#include "media/mpg123device.h"
#include "tests/support/testsupport.h"

namespace media {
namespace {

using testsupport::Bytes;

constexpr std::int64_t kFrameSamples = 1152;

using testsupport::Concat;

// A LAME/Xing "Info" frame as lame writes it in front of a CBR file: it claims 10 audio frames,
// an encoder delay of 576 and padding of 1000 samples.
Bytes InfoFrame() {
  Bytes frame = testsupport::Mp3Frame();
  std::fill(frame.begin() + 4, frame.end(), 0);
  std::copy_n("Info", 4, frame.begin() + 36);
  frame[43] = 0x03;  // frames and bytes fields present
  frame[47] = 10;    // the frames, big-endian
  std::copy_n("LAME3.100", 9, frame.begin() + 156);
  // Delay and padding, 12 bits each: 576 << 12 | 1000.
  std::copy_n(Bytes{0x24, 0x03, 0xE8}.begin(), 3, frame.begin() + 177);
  return frame;
}

std::optional<std::int64_t> Samples(const std::filesystem::path& path) {
  std::string error;
  auto decoder = Decoder::Open(path, error);
  return decoder ? decoder->ScanSamples() : std::nullopt;
}

TEST(ParseCommand, SplitsVerbTargetAndWords) {
  auto open = ParseCommand(R"(open "/x/My "Best" Song.mp3" type MPEGVideo alias MP3)");
  ASSERT_TRUE(open);
  EXPECT_EQ(open->verb, "open");
  EXPECT_EQ(open->target, R"(/x/My "Best" Song.mp3)");
  EXPECT_EQ(OptionValue(open->words, "alias"), "mp3");
  EXPECT_EQ(OptionValue(open->words, "type"), "mpegvideo");

  auto bare = ParseCommand("  OPEN /x/Song.mp3 alias a");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->target, "/x/Song.mp3");
  EXPECT_EQ(OptionValue(bare->words, "alias"), "a");

  auto status = ParseCommand("Status mp3  Length");
  ASSERT_TRUE(status);
  EXPECT_EQ(status->verb, "status");
  EXPECT_EQ(status->target, "mp3");
  EXPECT_EQ(status->words, std::vector<std::string>{"length"});

  EXPECT_FALSE(ParseCommand(""));
  EXPECT_FALSE(ParseCommand("open"));
  EXPECT_FALSE(ParseCommand("open \"\" alias x"));
  EXPECT_FALSE(OptionValue({"alias"}, "alias"));
}

TEST(MediaDevice, AnswersTheLengthCommandsAndRefusesTheRest) {
  testsupport::ScopedTempDir dir;
  testsupport::WriteFile(dir / "a b.mp3", testsupport::Mp3Stream(100));
  auto device = CreateMediaDevice();
  const std::string path = (dir / "a b.mp3").string();

  EXPECT_EQ(device->SendString("status mp3 length").error, MediaError::UnknownAlias);
  EXPECT_TRUE(device->SendString(OpenCommand(path)).ok());
  EXPECT_EQ(device->SendString(OpenCommand(path)).error, MediaError::AliasInUse);
  EXPECT_TRUE(device->SendString("set mp3 time format tmsf").ok());
  EXPECT_TRUE(device->SendString("set mp3 time format milliseconds").ok());
  EXPECT_EQ(device->SendString("set mp3 time format frames").error,
            MediaError::UnrecognizedCommand);
  const MediaReply length = device->SendString("status mp3 length");
  EXPECT_TRUE(length.ok());
  EXPECT_EQ(length.text, "2612");  // 100 frames of 1152 samples at 44100 Hz
  EXPECT_EQ(device->SendString("status mp3 position").text, "0");
  EXPECT_EQ(device->SendString("status mp3 mode").text, "stopped");
  for (const char* wrong : {"play mp3 from -5", "play mp3 at 5", "play mp3 from x", "seek mp3",
                            "status mp3 volume", "setaudio mp3 volume to loud"}) {
    SCOPED_TRACE(wrong);
    EXPECT_EQ(device->SendString(wrong).error, MediaError::UnrecognizedCommand);
    EXPECT_TRUE(device->SendString(wrong).text.empty());
  }
  EXPECT_EQ(device->SendString("pause nothing").error, MediaError::UnknownAlias);
  EXPECT_TRUE(device->SendString("close all").ok());
  EXPECT_EQ(device->SendString("close mp3").error, MediaError::UnknownAlias);
  EXPECT_EQ(device->SendString("status mp3 length").error, MediaError::UnknownAlias);

  EXPECT_EQ(device->SendString(OpenCommand((dir / "missing.mp3").string())).error,
            MediaError::CannotOpen);
  EXPECT_EQ(device->SendString("status mp3 length").error, MediaError::UnknownAlias);
}

TEST(ExactLength, CountsEveryFrameWhateverSurroundsIt) {
  testsupport::ScopedTempDir dir;
  const struct {
    const char* name;
    Bytes data;
    std::int64_t frames;
  } cases[] = {
      {"plain.mp3", testsupport::Mp3Stream(40), 40},
      {"tagged.mp3",
       Concat({testsupport::Id3v2Tag(4096), testsupport::Mp3Stream(40),
               testsupport::Id3v1Tag("t", "a", "b", "2000")}),
       40},
      // The info frame is decoded as an ordinary frame: no gapless trimming, no trust in the
      // frame count it claims.
      {"info.mp3", Concat({InfoFrame(), testsupport::Mp3Stream(40)}), 41},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::WriteFile(dir / c.name, c.data);
    EXPECT_EQ(Samples(dir / c.name), c.frames * kFrameSamples);
  }
}

TEST(ExactLength, GivesNothingForFilesWithoutAudio) {
  testsupport::ScopedTempDir dir;
  testsupport::WriteText(dir / "text.mp3", std::string(5000, 'x'));
  testsupport::WriteFile(dir / "empty.mp3", {});
  for (const char* name : {"text.mp3", "empty.mp3", "missing.mp3"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(ExactLength(dir / name));
    auto device = CreateMediaDevice();
    EXPECT_EQ(QueryPlayLength(*device, (dir / name).string()), 0);
  }
}

TEST(SamplesToMilliseconds, RoundsToTheNearestMillisecond) {
  EXPECT_EQ(SamplesToMilliseconds(44100, 44100), 1000);
  EXPECT_EQ(SamplesToMilliseconds(1152, 44100), 26);  // 26.12
  EXPECT_EQ(SamplesToMilliseconds(1152, 32000), 36);  // 36.0
  EXPECT_EQ(SamplesToMilliseconds(1764, 44100), 40);  // 40.0
  EXPECT_EQ(SamplesToMilliseconds(22, 44000), 1);     // 0.5 rounds up
  EXPECT_EQ(SamplesToMilliseconds(0, 44100), 0);
  EXPECT_EQ(SamplesToMilliseconds(std::int64_t{1} << 50, 8000), 2147483647);
}

// The promise behind the lengths: tracks copied back to back from their first frames decode
// to exactly the sum of their lengths.
TEST(ExactLength, TrackLengthsAddUpToTheirConcatenation) {
  ASSERT_TRUE(testsupport::Peer("lame", "lame"));
  testsupport::ScopedTempDir dir;
  ASSERT_TRUE(testsupport::MakeMp3(dir / "1.mp3", 1.3, 440.0));
  ASSERT_TRUE(testsupport::MakeMp3(dir / "2.mp3", 2.05, 550.0,
                                   "--add-id3v2 --pad-id3v2-size 3000 --tt Two --ta Me --tl Al"));
  ASSERT_TRUE(testsupport::MakeMp3(dir / "3.mp3", 0.7, 660.0, "--id3v1-only --tt Three"));
  std::int64_t sum = 0;
  Bytes joined;
  for (const char* name : {"1.mp3", "2.mp3", "3.mp3"}) {
    const auto samples = Samples(dir / name);
    ASSERT_TRUE(samples) << name;
    sum += *samples;
    Bytes bytes = testsupport::ReadFile(dir / name);
    // From the first frame on: the ID3v2 tag stays out, the ID3v1 tag stays in.
    const std::size_t first = testsupport::Id3v2TagSize(bytes);
    joined.insert(joined.end(), bytes.begin() + static_cast<std::ptrdiff_t>(first), bytes.end());
  }
  testsupport::WriteFile(dir / "joined.mp3", joined);
  EXPECT_EQ(Samples(dir / "joined.mp3"), sum);
  EXPECT_EQ(sum % kFrameSamples, 0);
}

// The header of a track as lame wrote it gives the length without a pass over the frames (or
// a decoder, in the device); a file that is no longer what the header describes is scanned, and
// both agree with the scan.
TEST(ExactLength, TrustsAnEncoderHeaderOnlyWhereTheFileIsWhatItDescribes) {
  ASSERT_TRUE(testsupport::Peer("lame", "lame"));
  testsupport::ScopedTempDir dir;
  const struct {
    const char* name;
    const char* tags;
    const char* rate;
    bool fromHeader;
    long hz = 44100;
  } cases[] = {
      {"cbr.mp3", "", "-b 128 --cbr", true},
      {"tagged.mp3", "--add-id3v2 --pad-id3v2-size 300 --tt T", "-b 128 --cbr", true},
      {"v1.mp3", "--id3v1-only --tt T", "-b 128 --cbr", true},
      {"vbr.mp3", "", "-V 2", true},
      {"mono.mp3", "", "-m m -b 64 --cbr", true},
      {"48k.mp3", "", "-b 128 --cbr --resample 48", true, 48000},
      {"joined.mp3", "", "-b 128 --cbr", false},  // a second stream behind the first
      {"cut.mp3", "", "-b 128 --cbr", false},     // its last frame gone
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path = dir / c.name;
    ASSERT_TRUE(testsupport::MakeMp3(path, 1.7, 440.0, c.tags, c.rate));
    Bytes bytes = testsupport::ReadFile(path);
    if (std::string_view(c.name) == "joined.mp3") bytes = Concat({bytes, bytes});
    if (std::string_view(c.name) == "cut.mp3") bytes.resize(bytes.size() - 417);
    testsupport::WriteFile(path, bytes);
    const auto scanned = Samples(path);
    ASSERT_TRUE(scanned);
    const auto header = HeaderLength(path);
    EXPECT_EQ(header ? std::optional(header->samples) : std::nullopt,
              c.fromHeader ? scanned : std::nullopt);
    const std::int32_t ms = SamplesToMilliseconds(*scanned, c.hz);
    EXPECT_EQ(ExactLength(path), ms);
    auto device = CreateMediaDevice();
    ASSERT_TRUE(device->SendString(OpenCommand(path.string())).ok());
    EXPECT_EQ(device->SendString("status mp3 length").text, std::to_string(ms));
  }
}

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

TEST_F(Playback, AFileCutShortOrOverwrittenFailsPlaying) {
  namespace fs = std::filesystem;
  const auto overwrite = [](const fs::path& path) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    const std::string zeros(fs::file_size(path), '\0');
    file.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
  };
  const struct {
    const char* why;
    std::function<void(const fs::path&)> change;
    MediaError expected;
  } cases[] = {
      {"cut short", [](const fs::path& path) { fs::resize_file(path, 10000); },
       MediaError::FileShrank},
      {"emptied", [](const fs::path& path) { fs::resize_file(path, 0); }, MediaError::FileShrank},
      {"overwritten", overwrite, MediaError::Undecodable},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const fs::path path = m_dir / "changing.mp3";
    fs::copy_file(Path(), path, fs::copy_options::overwrite_existing);
    auto state = std::make_shared<ManualOutput::State>();
    Mpg123Device device([state] { return std::make_unique<ManualOutput>(state); });
    ASSERT_TRUE(device.SendString(OpenCommand(path.string())).ok());
    ASSERT_TRUE(device.SendString("play mp3 from 0").ok());
    ASSERT_EQ(Pull(*state, 4410).size(), 4410u * 2);
    c.change(path);
    // A new stretch reads the file as it is now, not what was buffered.
    (void)device.SendString("play mp3 from 1000");
    Pull(*state, 44100);
    EXPECT_EQ(device.SendString("status mp3 position").error, c.expected);
    EXPECT_EQ(device.SendString("play mp3 from 0").error, c.expected);
  }
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
  // Never ahead of real time by more than the buffer or two (23 ms each) the output takes
  // early; behind it only as far as a busy machine may starve the driver's thread.
  EXPECT_LE(position - 500, elapsed + 150);
  EXPECT_GE(position - 500, elapsed / 2);
  EXPECT_TRUE(device->SendString("pause mp3").ok());
  const std::int64_t paused = Number(*device, "status mp3 position");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(Number(*device, "status mp3 position"), paused);
  EXPECT_TRUE(device->SendString("close all").ok());
}

}  // namespace
}  // namespace media

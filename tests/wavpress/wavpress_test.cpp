// The bridge through its C ABI, loaded with dlopen as the encoder window loads it: real encodes
// checked by ffprobe and by our own frame analysis, and the contract with the encoder library
// checked against a stand-in that records its calls.
#include <gtest/gtest.h>

#include <algorithm>

#include "mp3header/mp3header.h"
#include "tests/wavpress/wavpresstest.h"

namespace {

using testsupport::Bytes;
using testsupport::ReadFile;
using testsupport::ScopedTempDir;
using testsupport::ToneWav;
using testsupport::WriteFile;
using wavpresstest::Bridge;
using wavpresstest::g_progress;
using wavpresstest::Layout;
using wavpresstest::NoTemporaryFiles;
namespace fs = std::filesystem;

constexpr std::size_t kLameChunkFrames = 1152;

struct EncodeMp3Test : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(testsupport::Peer("ffprobe", "ffmpeg"));
    ASSERT_TRUE(bridge.setEncoder && bridge.encodeMp3);
    ASSERT_EQ(bridge.setEncoder(WAVPRESS_LAME), 0);
  }

  fs::path Wav(const std::string& name, double seconds, int channels = 2, int rate = 44100) {
    const auto path = dir / name;
    WriteFile(path, ToneWav(seconds, 440, channels, rate));
    return path;
  }

  Bridge bridge;
  ScopedTempDir dir;
};

// The samples are read as what the file declares and converted to 44100 Hz stereo, so the MP3
// lasts as long as its source whatever the source's format. The header fields come from the
// record the bridge hands over (EncoderLibraryTest) as lame_enc writes them (LameEncTest).
TEST_F(EncodeMp3Test, AnyWavBecomesConstant128kStereoReportingEachChunk) {
  const struct {
    int channels;
    int rate;
  } cases[] = {{2, 44100}, {1, 22050}, {1, 44100}, {2, 48000}, {2, 8000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " channel(s) at " + std::to_string(c.rate));
    const auto name = "in" + std::to_string(c.channels) + "_" + std::to_string(c.rate);
    ASSERT_EQ(bridge.Encode(Wav(name + ".wav", 2.0, c.channels, c.rate)), WAVPRESS_OK);
    const auto mp3 = dir / (name + ".mp3");

    const auto probe = wavpresstest::Probe(mp3);
    ASSERT_FALSE(probe.is_null());
    const auto& stream = probe["streams"][0];
    EXPECT_EQ(stream["codec_name"], "mp3");
    EXPECT_EQ(stream["sample_rate"], "44100");
    EXPECT_EQ(stream["channels"], 2);
    EXPECT_EQ(stream["bit_rate"], "128000");
    EXPECT_NEAR(testsupport::FfprobeMilliseconds(mp3), 2000.0, 50.0);
    // Constant 128 kbit/s at 44100 Hz: every frame is 417 bytes, or 418 with its padding slot.
    for (const auto& packet : probe["packets"]) {
      const int size = std::stoi(packet["size"].get<std::string>());
      EXPECT_TRUE(size == 417 || size == 418) << size;
    }
    mp3header::MP3HeaderInfo info;
    EXPECT_TRUE(mp3header::IsAcceptedTrack(mp3header::AnalyseMP3(mp3, info), info));
    EXPECT_EQ(info.HeaderPos, 1);

    // One report per chunk of 1152 frames, the last one 100.
    const auto& reports = g_progress.reports;
    if (c.rate == 44100) {
      EXPECT_EQ(reports.size(), (2 * 44100 + kLameChunkFrames - 1) / kLameChunkFrames);
    }
    ASSERT_GE(reports.size(), 2u);
    EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
    EXPECT_EQ(reports.back(), 100);
    EXPECT_LT(reports[reports.size() - 2], 100);
  }
}

TEST_F(EncodeMp3Test, HeaderOnlyWavGivesOnlyTheFlush) {
  ASSERT_EQ(bridge.Encode(Wav("empty.wav", 0.0)), WAVPRESS_OK);
  EXPECT_TRUE(g_progress.reports.empty());
  // What the encoder gives for a stream that is flushed at once.
  const Bytes flush = wavpresstest::LameEnc().Encode({}, 0);
  EXPECT_FALSE(flush.empty());
  EXPECT_EQ(ReadFile(dir / "empty.mp3"), flush);
}

TEST_F(EncodeMp3Test, OutputReplacesTheExtensionOfTheFileNameOnly) {
  fs::create_directory(dir / "rec.s");
  const struct {
    const char* input;
    const char* output;
  } cases[] = {
      {"rec.s/take1.wav", "rec.s/take1.mp3"},
      {"TAKE.WAV", "TAKE.mp3"},
      {"two.dots.wav", "two.dots.mp3"},
      {"rec.s/noextension", "rec.s/noextension.mp3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    WriteFile(dir / c.input, ToneWav(0.0, 440));
    ASSERT_EQ(bridge.Encode(dir / c.input), WAVPRESS_OK);
    EXPECT_TRUE(fs::exists(dir / c.output));
  }
  EXPECT_FALSE(fs::exists(dir / "rec.mp3"));
}

TEST_F(EncodeMp3Test, ReplacesAnExistingMp3OnlyWhenAllowedAndNeverItsOwnInput) {
  const auto wav = Wav("take.wav", 0.5);
  WriteFile(dir / "take.mp3", Bytes(100000, 0x55));
  bridge.setReplace(0);
  std::string why;
  ASSERT_EQ(bridge.Encode(wav), WAVPRESS_FAILED);
  EXPECT_EQ(bridge.LastFailure(&why), WAVPRESS_OUTPUT_EXISTS);
  EXPECT_NE(why.find("take.mp3 exists"), std::string::npos) << why;
  EXPECT_EQ(ReadFile(dir / "take.mp3"), Bytes(100000, 0x55));
  EXPECT_TRUE(g_progress.reports.empty());

  bridge.setReplace(1);
  ASSERT_EQ(bridge.Encode(wav), WAVPRESS_OK);
  EXPECT_EQ(bridge.LastFailure(), WAVPRESS_NO_FAILURE);
  const Bytes mp3 = ReadFile(dir / "take.mp3");
  ASSERT_LT(mp3.size(), 100000u);
  EXPECT_EQ(mp3[0], 0xFF);

  // A WAV named ".mp3" would be its own output.
  const auto named = dir / "song.mp3";
  const Bytes original = ToneWav(0.5, 440);
  WriteFile(named, original);
  EXPECT_EQ(bridge.Encode(named), WAVPRESS_FAILED);
  EXPECT_EQ(ReadFile(named), original);
}

TEST_F(EncodeMp3Test, UnreadableInputOrOutputFails) {
  testsupport::WriteText(dir / "notes.wav", "Not a recording at all, only a few lines of text.\n");
  WriteFile(dir / "noise.wav", testsupport::Pattern(50000));
  const auto blocked = Wav("blocked.wav", 0.5);
  fs::create_directory(dir / "blocked.mp3");  // the output cannot be created over a folder

  const struct {
    const char* name;
    std::int32_t cause;
  } cases[] = {{"missing.wav", WAVPRESS_UNREADABLE},
               {"notes.wav", WAVPRESS_UNSUPPORTED_FORMAT},
               {"noise.wav", WAVPRESS_UNSUPPORTED_FORMAT}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(bridge.Encode(dir / c.name), WAVPRESS_FAILED);
    std::string why;
    EXPECT_EQ(bridge.LastFailure(&why), c.cause);
    EXPECT_NE(why.find(c.name), std::string::npos) << why;
    EXPECT_FALSE(fs::exists(fs::path(dir / c.name).replace_extension(".mp3")));
  }
  EXPECT_EQ(bridge.Encode(blocked), WAVPRESS_FAILED);
  EXPECT_EQ(bridge.LastFailure(), WAVPRESS_CANNOT_WRITE);
  EXPECT_TRUE(fs::is_directory(dir / "blocked.mp3"));
  EXPECT_TRUE(NoTemporaryFiles(dir.path()));
}

// A layout with the BladeEnc stand-in: which library is used, and what it is given.
struct EncoderLibraryTest : ::testing::Test {
  fs::path Wav(const std::string& name, std::size_t frames) {
    const auto path = dir / name;
    WriteFile(path, ToneWav(static_cast<double>(frames) / 44100.0, 440));
    return path;
  }
  ScopedTempDir dir;
  const Layout layout{true, LB_FAKE_BLADEENC};
  const Bridge bridge{layout.path()};
  const wavpresstest::FakeEncoder fake{layout};
};

TEST_F(EncoderLibraryTest, SelectionStartsAtBladeEncAndOnlyOneSelectsIt) {
  const auto wav = Wav("take.wav", 1000);
  const struct {
    std::int32_t selection;  // -1: as loaded
    bool bladeEnc;
  } steps[] = {{-1, true}, {0, false}, {2, false}, {1, true}, {-7, false}};
  for (const auto& step : steps) {
    SCOPED_TRACE("selection " + std::to_string(step.selection));
    if (step.selection != -1) {
      EXPECT_EQ(bridge.setEncoder(step.selection), 0);
    }
    fake.Script();
    ASSERT_EQ(bridge.Encode(wav), WAVPRESS_OK);
    EXPECT_EQ(!fake.Log().empty(), step.bladeEnc);
    const Bytes mp3 = ReadFile(dir / "take.mp3");
    ASSERT_FALSE(mp3.empty());
    EXPECT_EQ(mp3[0] == 'C', step.bladeEnc);
  }
}

TEST_F(EncoderLibraryTest, HandsOverTheRecordAndChunksOfTheSizeAskedFor) {
  const auto wav = Wav("take.wav", 5000);
  ASSERT_EQ(bridge.Encode(wav), WAVPRESS_OK);
  // Little-endian: kind 0 (4 bytes), 44100 Hz (4), stereo (1), 128 kbit/s (2), then the private,
  // CRC, copyright and original flags clear (4 each).
  EXPECT_EQ(fake.Record(), "0000000044ac000000800000000000000000000000000000000000");
  EXPECT_EQ(fake.Log(), "init 2304 2304 2304 2304 784 deinit close");
  EXPECT_EQ(ReadFile(dir / "take.mp3"), testsupport::BytesOf("CCCCCF"));

  // An odd chunk size asked for still gets whole stereo frames.
  fake.Script(wavpress::kBeOk, 0, wavpress::kBeOk, 4001);
  ASSERT_EQ(bridge.Encode(wav), WAVPRESS_OK);
  EXPECT_EQ(fake.Log(), "init 4000 4000 2000 deinit close");
}

// The stream is closed on every return once it was opened, and a stop leaves what was written
// on disk, without the flush; a failure leaves nothing.
TEST_F(EncoderLibraryTest, ReleasesTheStreamOnEveryReturn) {
  const auto wav = Wav("take.wav", 3000);  // three chunks
  using wavpress::kBeOk;
  const auto bad = wavpress::kBeInvalidFormatParameters;

  const struct {
    const char* what;
    wavpress::BeResult initResult;
    std::uint32_t failingChunk;
    wavpress::BeResult deinitResult;
    std::size_t stopAt;
    std::int32_t result;
    const char* calls;
    const char* output;
  } cases[] = {
      {"init fails", bad, 0, kBeOk, 0, WAVPRESS_FAILED, "init", nullptr},
      {"second chunk fails", kBeOk, 2, kBeOk, 0, WAVPRESS_FAILED, "init 2304 2304 close", nullptr},
      {"flush fails", kBeOk, 0, bad, 0, WAVPRESS_FAILED, "init 2304 2304 1392 deinit close",
       nullptr},
      {"stop at the first chunk", kBeOk, 0, kBeOk, 1, WAVPRESS_STOPPED, "init 2304 close", "C"},
      {"stop at the second chunk", kBeOk, 0, kBeOk, 2, WAVPRESS_STOPPED, "init 2304 2304 close",
       "CC"},
      {"stop at the last chunk", kBeOk, 0, kBeOk, 3, WAVPRESS_STOPPED, "init 2304 2304 1392 close",
       "CCC"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(dir / "take.mp3");
    fake.Script(c.initResult, c.failingChunk, c.deinitResult);
    EXPECT_EQ(bridge.Encode(wav, c.stopAt), c.result);
    EXPECT_EQ(fake.Log(), c.calls);
    if (c.output) {
      EXPECT_EQ(ReadFile(dir / "take.mp3"), testsupport::BytesOf(c.output));
    } else {
      EXPECT_FALSE(fs::exists(dir / "take.mp3"));
      EXPECT_EQ(bridge.LastFailure(), WAVPRESS_ENCODER_ERROR);
    }
    EXPECT_TRUE(NoTemporaryFiles(dir.path()));
  }
}

TEST_F(EncoderLibraryTest, MissingLibraryOrEntryPointFailsBeforeAnyFileIsOpened) {
  const auto wav = Wav("take.wav", 1000);
  const struct {
    const char* what;
    bool withLame;
    const char* bladeEnc;
    std::int32_t selection;  // -1: as loaded
  } cases[] = {
      {"no BladeEnc library, selected at load", true, nullptr, -1},
      {"no BladeEnc library, selected by SetEncoder(1)", true, nullptr, 1},
      {"no LAME library", false, LB_FAKE_BLADEENC, 0},
      {"BladeEnc library without beCloseStream", true, LB_FAKE_BLADEENC_PARTIAL, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Layout layout(c.withLame, c.bladeEnc);
    const Bridge bridge(layout.path());
    if (c.selection != -1) bridge.setEncoder(c.selection);
    EXPECT_EQ(bridge.Encode(wav), WAVPRESS_FAILED);
    EXPECT_FALSE(fs::exists(dir / "take.mp3"));
  }
}

}  // namespace

// The bridge through its C ABI, loaded with dlopen as the encoder window loads it: real encodes
// checked by ffprobe and by our own frame analysis, and the contract with the encoder library
// checked against a stand-in that records its calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "mp3header/mp3header.h"
#include "tests/wavpress/wavpresstest.h"

namespace {

using testsupport::Bytes;
using testsupport::ReadFile;
using testsupport::ScopedTempDir;
using testsupport::ToneWav;
using testsupport::WriteFile;
using wavpresstest::Bridge;
using wavpresstest::FakeEncoder;
using wavpresstest::g_progress;
using wavpresstest::Layout;
namespace fs = std::filesystem;

constexpr std::size_t kLameChunkFrames = 1152;

// The first word of each line of the stand-in's log.
std::string CallNames(const std::string& log) {
  std::istringstream lines(log);
  std::string names, line;
  while (std::getline(lines, line)) {
    if (!names.empty()) names += ' ';
    names += line.substr(0, line.find(' '));
  }
  return names;
}

struct EncodeMp3Test : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(testsupport::Peer("ffprobe", "ffmpeg"));
    ASSERT_TRUE(bridge.Loaded());
    ASSERT_EQ(bridge.SetEncoder(WAVPRESS_LAME), 0);
  }

  fs::path Wav(const std::string& name, double seconds, int channels = 2, int rate = 44100) {
    const auto path = dir / name;
    WriteFile(path, ToneWav(seconds, 440, channels, rate));
    return path;
  }

  Bridge bridge;
  ScopedTempDir dir;
};

TEST_F(EncodeMp3Test, StereoWavBecomesConstant128kMpeg1LayerIIIReportingEachChunk) {
  const auto wav = Wav("take1.wav", 3.0);
  ASSERT_EQ(bridge.Encode(wav), WAVPRESS_OK);
  const auto mp3 = dir / "take1.mp3";

  const auto probe = wavpresstest::Probe(mp3);
  ASSERT_FALSE(probe.is_null());
  const auto& stream = probe["streams"][0];
  EXPECT_EQ(stream["codec_name"], "mp3");
  EXPECT_EQ(stream["sample_rate"], "44100");
  EXPECT_EQ(stream["channels"], 2);
  EXPECT_EQ(stream["bit_rate"], "128000");
  EXPECT_NEAR(wavpresstest::ProbedSeconds(probe), 3.0, 0.05);
  // Constant 128 kbit/s at 44100 Hz: every frame is 417 bytes, or 418 with its padding slot.
  for (const auto& packet : probe["packets"]) {
    const int size = std::stoi(packet["size"].get<std::string>());
    EXPECT_TRUE(size == 417 || size == 418) << size;
  }

  mp3header::MP3HeaderInfo info;
  const auto status = mp3header::AnalyseMP3(mp3, info);
  EXPECT_TRUE(mp3header::IsAcceptedTrack(status, info));
  EXPECT_EQ(info.MpegVersion, 1);
  EXPECT_EQ(info.Layer, 3);
  EXPECT_EQ(info.Bitrate, 128);
  EXPECT_EQ(info.SampleRate, 44100);
  EXPECT_EQ(info.ChannelMode, "stereo");
  EXPECT_EQ(info.HeaderPos, 1);
  EXPECT_EQ(info.CrcProtected, "no");
  EXPECT_EQ(info.PrivateBit, "no");
  EXPECT_EQ(info.Copyright, "no");
  EXPECT_EQ(info.Original, "no");

  // One report per chunk of 1152 frames, the last one 100.
  const auto& reports = g_progress.reports;
  ASSERT_EQ(reports.size(), (3 * 44100 + kLameChunkFrames - 1) / kLameChunkFrames);
  EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
  EXPECT_EQ(reports.back(), 100);
  EXPECT_LT(reports[reports.size() - 2], 100);
}

// The samples are read as what the file declares and converted to 44100 Hz stereo, so the MP3
// lasts as long as its source whatever the source's format.
TEST_F(EncodeMp3Test, OtherRatesAndMonoKeepTheirDuration) {
  const struct {
    int channels;
    int rate;
  } cases[] = {{1, 22050}, {1, 44100}, {2, 48000}, {2, 8000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " channel(s) at " + std::to_string(c.rate));
    const auto name = "in" + std::to_string(c.channels) + "_" + std::to_string(c.rate);
    const auto wav = Wav(name + ".wav", 2.0, c.channels, c.rate);
    ASSERT_EQ(bridge.Encode(wav), WAVPRESS_OK);
    EXPECT_EQ(g_progress.reports.back(), 100);
    const auto probe = wavpresstest::Probe(dir / (name + ".mp3"));
    ASSERT_FALSE(probe.is_null());
    EXPECT_EQ(probe["streams"][0]["sample_rate"], "44100");
    EXPECT_EQ(probe["streams"][0]["channels"], 2);
    EXPECT_NEAR(wavpresstest::ProbedSeconds(probe), 2.0, 0.05);
  }
}

TEST_F(EncodeMp3Test, HeaderOnlyWavGivesOnlyTheFlush) {
  const auto wav = Wav("empty.wav", 0.0);
  ASSERT_EQ(bridge.Encode(wav), WAVPRESS_OK);
  EXPECT_TRUE(g_progress.reports.empty());

  // What the encoder gives for a stream that is flushed at once.
  void* lame = dlopen((wavpresstest::kBuildFolder / "liblame_enc.so").c_str(), RTLD_NOW);
  ASSERT_NE(lame, nullptr);
  const auto init = wavpresstest::Bind<wavpress::BeInitStreamFunction>(lame, "beInitStream");
  const auto deinit = wavpresstest::Bind<wavpress::BeDeinitStreamFunction>(lame, "beDeinitStream");
  const auto close = wavpresstest::Bind<wavpress::BeCloseStreamFunction>(lame, "beCloseStream");
  std::array<std::uint8_t, wavpress::kMp3ConfigSize> record{};
  wavpress::PutMp3Config(record, {});
  std::uint32_t samples = 0, size = 0, written = 0;
  wavpress::BeStream stream = 0;
  ASSERT_EQ(init(record.data(), &samples, &size, &stream), wavpress::kBeOk);
  Bytes flush(size);
  ASSERT_EQ(deinit(stream, flush.data(), &written), wavpress::kBeOk);
  close(stream);
  dlclose(lame);
  flush.resize(written);

  EXPECT_FALSE(flush.empty());
  EXPECT_EQ(ReadFile(dir / "empty.mp3"), flush);
}

// After a stop the stream is not flushed and what was written stays: the partial file is the
// start of the complete one.
TEST_F(EncodeMp3Test, StopLeavesThePartialOutputWithoutTheFlush) {
  const auto wav = Wav("take.wav", 1.0);
  ASSERT_EQ(bridge.Encode(wav), WAVPRESS_OK);
  const Bytes complete = ReadFile(dir / "take.mp3");
  const std::size_t chunks = g_progress.reports.size();

  for (const std::size_t stopAt : {std::size_t{1}, chunks}) {
    SCOPED_TRACE("stop at chunk " + std::to_string(stopAt));
    ASSERT_EQ(bridge.Encode(wav, stopAt), WAVPRESS_STOPPED);
    EXPECT_EQ(g_progress.reports.size(), stopAt);
    ASSERT_TRUE(fs::exists(dir / "take.mp3"));
    const Bytes partial = ReadFile(dir / "take.mp3");
    ASSERT_LT(partial.size(), complete.size());
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), complete.begin()));
  }
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
  bridge.SetReplaceExisting(0);
  std::string why;
  ASSERT_EQ(bridge.Encode(wav), WAVPRESS_FAILED);
  EXPECT_EQ(bridge.LastFailure(&why), WAVPRESS_OUTPUT_EXISTS);
  EXPECT_NE(why.find("take.mp3 exists"), std::string::npos) << why;
  EXPECT_EQ(ReadFile(dir / "take.mp3"), Bytes(100000, 0x55));
  EXPECT_TRUE(g_progress.reports.empty());

  bridge.SetReplaceExisting(1);
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
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    EXPECT_NE(entry.path().extension(), ".tmp") << "an unfinished output stayed";
  }
}

// Layouts with chosen encoder libraries: which one is used, and what it is given.
struct EncoderLibraryTest : ::testing::Test {
  fs::path Wav(const std::string& name, std::size_t frames) {
    const auto path = dir / name;
    WriteFile(path, ToneWav(static_cast<double>(frames) / 44100.0, 440));
    return path;
  }
  ScopedTempDir dir;
};

TEST_F(EncoderLibraryTest, SelectionStartsAtBladeEncAndOnlyOneSelectsIt) {
  const Layout layout(true, LB_FAKE_BLADEENC);
  const Bridge bridge(layout.path());
  const FakeEncoder fake(layout);
  const auto wav = Wav("take.wav", 1000);

  const struct {
    std::int32_t selection;  // -1: as loaded
    bool bladeEnc;
  } steps[] = {{-1, true}, {0, false}, {2, false}, {1, true}, {-7, false}};
  for (const auto& step : steps) {
    SCOPED_TRACE("selection " + std::to_string(step.selection));
    if (step.selection != -1) {
      EXPECT_EQ(bridge.SetEncoder(step.selection), 0);
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
  const Layout layout(false, LB_FAKE_BLADEENC);
  const Bridge bridge(layout.path());
  const FakeEncoder fake(layout);
  const auto wav = Wav("take.wav", 5000);

  ASSERT_EQ(bridge.Encode(wav), WAVPRESS_OK);
  // Kind 0, 44100 Hz, stereo, 128 kbit/s, private, CRC, copyright and original clear.
  const std::string record =
      "00000000"
      "44ac0000"
      "00"
      "8000"
      "00000000"
      "00000000"
      "00000000"
      "00000000";
  EXPECT_EQ(fake.Log(), "init " + record +
                            "\nchunk 2304\nchunk 2304\nchunk 2304\nchunk 2304\nchunk 784\n"
                            "deinit\nclose\n");
  EXPECT_EQ(ReadFile(dir / "take.mp3"), testsupport::BytesOf("CCCCCF"));

  // An odd chunk size asked for still gets whole stereo frames.
  fake.Script(wavpress::kBeOk, 0, wavpress::kBeOk, 4001);
  ASSERT_EQ(bridge.Encode(wav), WAVPRESS_OK);
  EXPECT_EQ(fake.Log(), "init " + record + "\nchunk 4000\nchunk 4000\nchunk 2000\ndeinit\nclose\n");
}

// The stream is closed on every return once it was opened, and a stop or a failure leaves what
// was written on disk.
TEST_F(EncoderLibraryTest, ReleasesTheStreamOnEveryReturn) {
  const Layout layout(false, LB_FAKE_BLADEENC);
  const Bridge bridge(layout.path());
  const FakeEncoder fake(layout);
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
      // A failure leaves no output; a stop keeps what was encoded.
      {"init fails", bad, 0, kBeOk, 0, WAVPRESS_FAILED, "init", nullptr},
      {"second chunk fails", kBeOk, 2, kBeOk, 0, WAVPRESS_FAILED, "init chunk chunk close",
       nullptr},
      {"flush fails", kBeOk, 0, bad, 0, WAVPRESS_FAILED, "init chunk chunk chunk deinit close",
       nullptr},
      {"stop at the second chunk", kBeOk, 0, kBeOk, 2, WAVPRESS_STOPPED, "init chunk chunk close",
       "CC"},
      {"stop at the last chunk", kBeOk, 0, kBeOk, 3, WAVPRESS_STOPPED,
       "init chunk chunk chunk close", "CCC"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(dir / "take.mp3");
    fake.Script(c.initResult, c.failingChunk, c.deinitResult);
    EXPECT_EQ(bridge.Encode(wav, c.stopAt), c.result);
    EXPECT_EQ(CallNames(fake.Log()), c.calls);
    if (c.output) {
      EXPECT_EQ(ReadFile(dir / "take.mp3"), testsupport::BytesOf(c.output));
    } else {
      EXPECT_FALSE(fs::exists(dir / "take.mp3"));
      if (c.result == WAVPRESS_FAILED) {
        EXPECT_EQ(bridge.LastFailure(), WAVPRESS_ENCODER_ERROR);
      }
    }
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      EXPECT_NE(entry.path().extension(), ".tmp");
    }
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
    if (c.selection != -1) bridge.SetEncoder(c.selection);
    EXPECT_EQ(bridge.Encode(wav), WAVPRESS_FAILED);
    EXPECT_FALSE(fs::exists(dir / "take.mp3"));
  }
}

}  // namespace

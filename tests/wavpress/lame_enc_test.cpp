// liblame_enc.so on its own, loaded by file name and called through the BladeEnc interface.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <tuple>

#include "mp3header/mp3header.h"
#include "tests/wavpress/wavpresstest.h"

namespace {

using namespace wavpress;
using testsupport::Bytes;

struct LameEncTest : ::testing::Test {
  void SetUp() override { ASSERT_TRUE(lame.init && lame.encode && lame.deinit && lame.close); }

  static std::array<std::uint8_t, kMp3ConfigSize> Record(const Mp3Config& config) {
    std::array<std::uint8_t, kMp3ConfigSize> record{};
    PutMp3Config(record, config);
    return record;
  }

  const wavpresstest::LameEnc lame;
};

TEST_F(LameEncTest, RefusesBadRecordsAndNullPointers) {
  const struct {
    const char* what;
    Mp3Config config;
    std::int32_t kind;
    BeResult result;
  } cases[] = {
      {"kind 1", {}, 1, kBeInvalidFormat},
      {"kind 256", {}, 256, kBeInvalidFormat},
      {"22050 Hz", {22050}, 0, kBeInvalidFormatParameters},
      {"0 Hz", {0}, 0, kBeInvalidFormatParameters},
      {"100 kbit/s", {44100, kModeStereo, 100}, 0, kBeInvalidFormatParameters},
      {"free format", {44100, kModeStereo, 0}, 0, kBeInvalidFormatParameters},
      {"mode 4", {44100, 4}, 0, kBeInvalidFormatParameters},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto record = Record(c.config);
    base::PutLE32(record, kConfigKindOffset, c.kind);
    std::uint32_t samples = 0, size = 0;
    BeStream stream = 99;
    EXPECT_EQ(lame.init(record.data(), &samples, &size, &stream), c.result);
    EXPECT_EQ(stream, 99u);
  }

  const auto record = Record({});
  std::uint32_t samples = 0, size = 0;
  BeStream stream = 0;
  EXPECT_EQ(lame.init(nullptr, &samples, &size, &stream), kBeInvalidFormatParameters);
  EXPECT_EQ(lame.init(record.data(), nullptr, &size, &stream), kBeInvalidFormatParameters);
  EXPECT_EQ(lame.init(record.data(), &samples, nullptr, &stream), kBeInvalidFormatParameters);
  EXPECT_EQ(lame.init(record.data(), &samples, &size, nullptr), kBeInvalidFormatParameters);
}

TEST_F(LameEncTest, RefusesCallsOnStreamsItDoesNotHoldAndOversizedChunks) {
  const auto record = Record({});
  std::uint32_t samples = 0, size = 0, written = 0;
  BeStream stream = 0;
  ASSERT_EQ(lame.init(record.data(), &samples, &size, &stream), kBeOk);
  std::vector<std::int16_t> pcm(samples + 2);
  Bytes out(size);

  EXPECT_EQ(lame.encode(stream + 1000, samples, pcm.data(), out.data(), &written),
            kBeInvalidHandle);
  EXPECT_EQ(lame.encode(stream, samples + 2, pcm.data(), out.data(), &written),
            kBeInvalidFormatParameters);
  EXPECT_EQ(lame.encode(stream, samples, nullptr, out.data(), &written),
            kBeInvalidFormatParameters);
  EXPECT_EQ(lame.encode(stream, samples, pcm.data(), out.data(), &written), kBeOk);
  EXPECT_EQ(lame.deinit(stream, out.data(), &written), kBeOk);
  EXPECT_EQ(lame.deinit(stream, out.data(), &written), kBeInvalidHandle);
  EXPECT_EQ(lame.encode(stream, samples, pcm.data(), out.data(), &written), kBeInvalidHandle);
  EXPECT_EQ(lame.close(stream), kBeOk);
  EXPECT_EQ(lame.close(stream), kBeInvalidHandle);
}

// Full-scale noise is the hardest input there is; the reported size must hold every chunk's
// output and the flush, with nothing written past it (LameEnc::Encode checks both).
TEST_F(LameEncTest, ReportedBufferSizeIsAlwaysEnough) {
  const Mp3Config configs[] = {
      {44100, kModeStereo, 128},     {48000, kModeStereo, 320}, {32000, kModeMono, 320},
      {32000, kModeJointStereo, 32}, {48000, kModeMono, 32},
  };
  std::mt19937 random(5);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  for (const auto& config : configs) {
    SCOPED_TRACE(std::to_string(config.SampleRate) + " Hz, mode " + std::to_string(config.Mode) +
                 ", " + std::to_string(config.Bitrate) + " kbit/s");
    lame.Encode(config, 200, [&] { return static_cast<std::int16_t>(sample(random)); });
  }
}

// Each value of the record reaches the frame headers, as our own frame analysis reads them.
TEST_F(LameEncTest, FrameHeadersCarryTheRecordValues) {
  const struct {
    Mp3Config config;
    const char* channelMode;
  } cases[] = {
      {{44100, kModeStereo, 128}, "stereo"},
      {{48000, kModeJointStereo, 192, true, true}, "joint stereo"},
      {{32000, kModeMono, 64, false, false, true, true}, "single channel"},
      {{44100, kModeDualChannel, 256, true, false, true, false}, "dual channel"},
  };
  const testsupport::ScopedTempDir dir;
  const auto yesNo = [](bool on) { return std::string(on ? "yes" : "no"); };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.channelMode);
    double phase = 0;
    const auto sine = [&] { return static_cast<std::int16_t>(8000 * std::sin(phase += 0.05)); };
    testsupport::WriteFile(dir / "out.mp3", lame.Encode(c.config, 40, sine));
    mp3header::MP3HeaderInfo info;
    ASSERT_EQ(mp3header::AnalyseMP3(dir / "out.mp3", info), mp3header::AnalyseStatus::Ok);
    // Position, version, layer, rate, bit rate, VBR, mode; then the flags.
    EXPECT_EQ(std::tuple(info.HeaderPos, info.MpegVersion, info.Layer, info.SampleRate,
                         info.Bitrate, info.IsVBR, info.ChannelMode),
              std::tuple(1, 1, 3, static_cast<std::int32_t>(c.config.SampleRate), c.config.Bitrate,
                         false, c.channelMode));
    EXPECT_EQ(std::tuple(info.PrivateBit, info.CrcProtected, info.Copyright, info.Original),
              std::tuple(yesNo(c.config.Private), yesNo(c.config.Crc), yesNo(c.config.Copyright),
                         yesNo(c.config.Original)));
  }
}

}  // namespace

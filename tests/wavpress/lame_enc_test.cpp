// liblame_enc.so on its own, loaded by file name and called through the BladeEnc interface.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "mp3header/mp3header.h"
#include "tests/wavpress/wavpresstest.h"

namespace {

using namespace wavpress;
using testsupport::Bytes;
using testsupport::ScopedTempDir;

constexpr std::uint8_t kGuard = 0xA5;
constexpr std::size_t kGuardSize = 256;

struct LameEncTest : ::testing::Test {
  void SetUp() override {
    library = dlopen((wavpresstest::kBuildFolder / "liblame_enc.so").c_str(), RTLD_NOW);
    ASSERT_NE(library, nullptr) << dlerror();
    init = wavpresstest::Bind<BeInitStreamFunction>(library, "beInitStream");
    encode = wavpresstest::Bind<BeEncodeChunkFunction>(library, "beEncodeChunk");
    deinit = wavpresstest::Bind<BeDeinitStreamFunction>(library, "beDeinitStream");
    close = wavpresstest::Bind<BeCloseStreamFunction>(library, "beCloseStream");
    ASSERT_TRUE(init && encode && deinit && close);
  }
  void TearDown() override {
    if (library) dlclose(library);
  }

  static std::array<std::uint8_t, kMp3ConfigSize> Record(const Mp3Config& config) {
    std::array<std::uint8_t, kMp3ConfigSize> record{};
    PutMp3Config(record, config);
    return record;
  }

  void* library = nullptr;
  BeInitStreamFunction init = nullptr;
  BeEncodeChunkFunction encode = nullptr;
  BeDeinitStreamFunction deinit = nullptr;
  BeCloseStreamFunction close = nullptr;
};

TEST_F(LameEncTest, RefusesBadRecordsAndNullPointers) {
  using Change = std::function<void(std::array<std::uint8_t, kMp3ConfigSize>&)>;
  const auto put32 = [](std::size_t offset, std::int32_t value) -> Change {
    return [=](auto& record) { base::PutLE32(record, offset, value); };
  };
  const auto put16 = [](std::size_t offset, std::int16_t value) -> Change {
    return [=](auto& record) { base::PutLE16(record, offset, value); };
  };
  const struct {
    const char* what;
    Change change;
    BeResult result;
  } cases[] = {
      {"kind 1", put32(kConfigKindOffset, 1), kBeInvalidFormat},
      {"kind 256", put32(kConfigKindOffset, 256), kBeInvalidFormat},
      {"22050 Hz", put32(kSampleRateOffset, 22050), kBeInvalidFormatParameters},
      {"0 Hz", put32(kSampleRateOffset, 0), kBeInvalidFormatParameters},
      {"100 kbit/s", put16(kBitrateOffset, 100), kBeInvalidFormatParameters},
      {"free format", put16(kBitrateOffset, 0), kBeInvalidFormatParameters},
      {"mode 4", [](auto& record) { record[kModeOffset] = 4; }, kBeInvalidFormatParameters},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto record = Record({});
    c.change(record);
    std::uint32_t samples = 0, size = 0;
    BeStream stream = 99;
    EXPECT_EQ(init(record.data(), &samples, &size, &stream), c.result);
    EXPECT_EQ(stream, 99u);
  }

  const auto record = Record({});
  std::uint32_t samples = 0, size = 0;
  BeStream stream = 0;
  EXPECT_EQ(init(nullptr, &samples, &size, &stream), kBeInvalidFormatParameters);
  EXPECT_EQ(init(record.data(), nullptr, &size, &stream), kBeInvalidFormatParameters);
  EXPECT_EQ(init(record.data(), &samples, nullptr, &stream), kBeInvalidFormatParameters);
  EXPECT_EQ(init(record.data(), &samples, &size, nullptr), kBeInvalidFormatParameters);
}

TEST_F(LameEncTest, RefusesCallsOnStreamsItDoesNotHoldAndOversizedChunks) {
  const auto record = Record({});
  std::uint32_t samples = 0, size = 0, written = 0;
  BeStream stream = 0;
  ASSERT_EQ(init(record.data(), &samples, &size, &stream), kBeOk);
  EXPECT_EQ(samples, 2304u);
  std::vector<std::int16_t> pcm(samples + 2);
  Bytes out(size);

  EXPECT_EQ(encode(stream + 1000, samples, pcm.data(), out.data(), &written), kBeInvalidHandle);
  EXPECT_EQ(encode(stream, samples + 2, pcm.data(), out.data(), &written),
            kBeInvalidFormatParameters);
  EXPECT_EQ(encode(stream, samples, nullptr, out.data(), &written), kBeInvalidFormatParameters);
  EXPECT_EQ(encode(stream, samples, pcm.data(), out.data(), &written), kBeOk);
  EXPECT_EQ(deinit(stream, out.data(), &written), kBeOk);
  EXPECT_EQ(deinit(stream, out.data(), &written), kBeInvalidHandle);
  EXPECT_EQ(encode(stream, samples, pcm.data(), out.data(), &written), kBeInvalidHandle);
  EXPECT_EQ(close(stream), kBeOk);
  EXPECT_EQ(close(stream), kBeInvalidHandle);
}

// Full-scale noise is the hardest input there is; the reported size must hold every chunk's
// output and the flush, with nothing written past it.
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
    const auto record = Record(config);
    std::uint32_t samples = 0, size = 0, written = 0;
    BeStream stream = 0;
    ASSERT_EQ(init(record.data(), &samples, &size, &stream), kBeOk);
    EXPECT_EQ(samples, config.Mode == kModeMono ? 1152u : 2304u);
    std::vector<std::int16_t> pcm(samples);
    Bytes out(size + kGuardSize, kGuard);
    const auto guardIntact = [&] {
      return std::all_of(out.begin() + size, out.end(), [](auto b) { return b == kGuard; });
    };
    for (int chunk = 0; chunk < 200; ++chunk) {
      for (auto& s : pcm) s = static_cast<std::int16_t>(sample(random));
      ASSERT_EQ(encode(stream, samples, pcm.data(), out.data(), &written), kBeOk);
      ASSERT_LE(written, size);
      ASSERT_TRUE(guardIntact());
    }
    ASSERT_EQ(deinit(stream, out.data(), &written), kBeOk);
    EXPECT_LE(written, size);
    EXPECT_TRUE(guardIntact());
    EXPECT_EQ(close(stream), kBeOk);
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
  const ScopedTempDir dir;
  const auto yesNo = [](bool on) { return std::string(on ? "yes" : "no"); };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.channelMode);
    const auto record = Record(c.config);
    std::uint32_t samples = 0, size = 0, written = 0;
    BeStream stream = 0;
    ASSERT_EQ(init(record.data(), &samples, &size, &stream), kBeOk);
    std::vector<std::int16_t> pcm(samples);
    for (std::size_t i = 0; i < pcm.size(); ++i) {
      pcm[i] = static_cast<std::int16_t>(8000 * std::sin(static_cast<double>(i) * 0.05));
    }
    Bytes mp3, out(size);
    for (int chunk = 0; chunk < 40; ++chunk) {
      ASSERT_EQ(encode(stream, samples, pcm.data(), out.data(), &written), kBeOk);
      mp3.insert(mp3.end(), out.begin(), out.begin() + written);
    }
    ASSERT_EQ(deinit(stream, out.data(), &written), kBeOk);
    mp3.insert(mp3.end(), out.begin(), out.begin() + written);
    EXPECT_EQ(close(stream), kBeOk);

    const auto file = dir / "out.mp3";
    testsupport::WriteFile(file, mp3);
    mp3header::MP3HeaderInfo info;
    ASSERT_EQ(mp3header::AnalyseMP3(file, info), mp3header::AnalyseStatus::Ok);
    EXPECT_EQ(info.HeaderPos, 1);
    EXPECT_EQ(info.MpegVersion, 1);
    EXPECT_EQ(info.Layer, 3);
    EXPECT_EQ(info.SampleRate, static_cast<std::int32_t>(c.config.SampleRate));
    EXPECT_EQ(info.Bitrate, c.config.Bitrate);
    EXPECT_FALSE(info.IsVBR);
    EXPECT_EQ(info.ChannelMode, c.channelMode);
    EXPECT_EQ(info.PrivateBit, yesNo(c.config.Private));
    EXPECT_EQ(info.CrcProtected, yesNo(c.config.Crc));
    EXPECT_EQ(info.Copyright, yesNo(c.config.Copyright));
    EXPECT_EQ(info.Original, yesNo(c.config.Original));
  }
}

}  // namespace

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "mp3header/mp3header.h"
#include "tests/support/testsupport.h"

namespace mp3header {
namespace {

using testsupport::Bytes;
using testsupport::Concat;
using testsupport::Mp3Frame;
using testsupport::ScopedTempDir;

struct Analysed {
  AnalyseStatus status;
  MP3HeaderInfo info;
};

Analysed Analyse(const Bytes& data, MP3HeaderInfo info = {}) {
  ScopedTempDir dir;
  testsupport::WriteFile(dir / "f.mp3", data);
  const AnalyseStatus status = AnalyseMP3(dir / "f.mp3", info);
  return {status, info};
}

Bytes WithXing(Bytes frame, std::size_t offset) {
  std::copy_n("Xing", 4, frame.begin() + static_cast<long>(offset));
  return frame;
}

// An info record that would pass the quality rule, as a reused record might.
const MP3HeaderInfo kPassing{.Bitrate = 128, .HeaderPos = 1};

TEST(AnalyseMP3, DecodesAConstantBitrateHeader) {
  const auto [status, info] = Analyse(testsupport::Mp3Stream(4));
  EXPECT_EQ(status, AnalyseStatus::Ok);
  // Bit rate, VBR, version, layer, sample rate, position, seconds; then the texts.
  EXPECT_EQ(std::tuple(info.Bitrate, info.IsVBR, info.MpegVersion, info.Layer, info.SampleRate,
                       info.HeaderPos, info.Seconds),
            std::tuple(128, false, 1, 3, 44100, 1, 4 * 417 * 8 / 128 / 1000));
  EXPECT_EQ(std::vector({info.ChannelMode, info.CrcProtected, info.Padding, info.Emphasis,
                         info.Copyright, info.Original, info.PrivateBit}),
            std::vector<std::string>({"joint stereo", "no", "no", "no", "no", "yes", "no"}));
  EXPECT_TRUE(IsAcceptedTrack(status, info));
}

TEST(AnalyseMP3, FindsTheFirstMpeg1Layer3Sync) {
  const struct {
    const char* why;
    Bytes data;
    std::int32_t headerPos;
  } cases[] = {
      {"after a 1000-byte ID3v2 tag", Concat({testsupport::Id3v2Tag(1000), Mp3Frame()}), 1001},
      {"MPEG-2 frame before", Concat({Bytes{0xFF, 0xF3, 0x90, 0x44}, Mp3Frame()}), 5},
      {"FF FF FB", Concat({Bytes{0x00, 0xFF}, Mp3Frame()}), 3},
      {"protected FF FA", Concat({Bytes(7, 0), Mp3Frame(0x90, 0x44), Mp3Frame()}), 8},
      {"across the scan's first chunk boundary", Concat({Bytes(4095, 0), Mp3Frame()}), 4096},
      {"across its second", Concat({Bytes(4096 + 65535, 0), Mp3Frame()}), 4096 + 65536},
      {"tag claiming more than the file",
       [] {
         Bytes d = Concat({Bytes(20, 0), Mp3Frame()});
         d[0] = 'I', d[1] = 'D', d[2] = '3', d[6] = 0x7F;
         return d;
       }(),
       21},
      {"sync inside the ID3v2 tag is skipped",
       [] {
         Bytes tag = testsupport::Id3v2Tag(600);
         tag[100] = 0xFF, tag[101] = 0xFB;
         return Concat({tag, Mp3Frame()});
       }(),
       601},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const auto [status, info] = Analyse(c.data);
    EXPECT_EQ(info.HeaderPos, c.headerPos);
  }
}

TEST(AnalyseMP3, XingMarksVariableBitrate) {
  const auto stereo = Analyse(Concat({WithXing(Mp3Frame(), 36), Mp3Frame()}));
  EXPECT_TRUE(stereo.info.IsVBR);
  EXPECT_EQ(stereo.info.Bitrate, 127);
  EXPECT_FALSE(IsAcceptedTrack(stereo.status, stereo.info));
  // A single-channel frame carries its tag at 21.
  const auto mono = Analyse(Concat({WithXing(Mp3Frame(0x90, 0xC4), 21), Mp3Frame(0x90, 0xC4)}));
  EXPECT_TRUE(mono.info.IsVBR);
  EXPECT_EQ(mono.info.ChannelMode, "single channel");
  // At 21 in a stereo frame it is not a tag.
  EXPECT_FALSE(Analyse(Concat({WithXing(Mp3Frame(), 21), Mp3Frame()})).info.IsVBR);
}

TEST(AnalyseMP3, DecodesBitrateAndFlagFields) {
  const struct {
    std::uint8_t byte2, byte3;
    std::int16_t bitrate;
    std::int32_t sampleRate;
    const char* channelMode;
    const char* emphasis;
  } cases[] = {
      {0xA4, 0x01, 160, 48000, "stereo", "50/15"},
      {0xF8, 0x82, 1, 32000, "dual channel", "reserved"},
      {0x10, 0xC3, 32, 44100, "single channel", "CCITT J 17"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bitrate);
    const auto [status, info] = Analyse(Concat({Mp3Frame(c.byte2, c.byte3), Mp3Frame()}));
    EXPECT_EQ(info.Bitrate, c.bitrate);
    EXPECT_EQ(info.SampleRate, c.sampleRate);
    EXPECT_EQ(info.ChannelMode, c.channelMode);
    EXPECT_EQ(info.Emphasis, c.emphasis);
  }
  const auto padded = Analyse(Concat({Mp3Frame(0x92, 0x4C), Mp3Frame()})).info;
  EXPECT_EQ(padded.Padding, "yes");
  EXPECT_EQ(padded.Copyright, "yes");
  const auto withCrc = Analyse(Concat({Bytes{0xFF, 0xFA, 0x90, 0x44}, Bytes(400, 0x55)})).info;
  EXPECT_EQ(withCrc.CrcProtected, "yes");
}

TEST(AnalyseMP3, AFileBelow256BytesLeavesTheRecordUntouched) {
  const auto [status, info] = Analyse(Mp3Frame(0x90, 0x44, 255), kPassing);
  EXPECT_EQ(status, AnalyseStatus::TooShort);
  EXPECT_EQ(info.Bitrate, 128);
  EXPECT_EQ(info.HeaderPos, 1);
  EXPECT_EQ(info.ChannelMode, "");
}

TEST(AnalyseMP3, UndeterminableFilesNeverPassAs128Constant) {
  const struct {
    const char* why;
    Bytes data;
    AnalyseStatus status;
  } cases[] = {
      {"no sync", Bytes(5000, 0x20), AnalyseStatus::NoFrame},
      {"reserved sample rate", Concat({Mp3Frame(0x9C, 0x44), Mp3Frame()}),
       AnalyseStatus::ReservedSampleRate},
      {"free format", Concat({Mp3Frame(0x00, 0x44), Mp3Frame()}), AnalyseStatus::FreeFormat},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const auto [status, info] = Analyse(c.data, kPassing);
    EXPECT_EQ(status, c.status);
    EXPECT_NE(info.Bitrate, 128);
    EXPECT_FALSE(IsAcceptedTrack(status, info));
  }
  MP3HeaderInfo info = kPassing;
  EXPECT_EQ(AnalyseMP3("/nonexistent/file.mp3", info), AnalyseStatus::CannotOpen);
  EXPECT_NE(info.Bitrate, 128);
}

#ifndef _WIN32
TEST(AnalyseMP3, SecondsOfFilesOver256MegabytesDoNotOverflow) {
  ScopedTempDir dir;
  const auto path = dir / "big.mp3";
  testsupport::WriteFile(path, testsupport::Mp3Stream(2));
  std::filesystem::resize_file(path, 300'000'000);  // sparse
  MP3HeaderInfo info;
  ASSERT_EQ(AnalyseMP3(path, info), AnalyseStatus::Ok);
  EXPECT_EQ(info.Seconds, 18750);
}
#endif

}  // namespace
}  // namespace mp3header

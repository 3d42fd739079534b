// Our CUE sheets against the peers that read them: cuetools' cueprint and mp3splt.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "album/albumwriter.h"
#include "mp3header/mp3header.h"
#include "tests/webview/webviewtestutil.h"
#include "webview/cuesheet.h"

namespace webview {
namespace {

using ::testing::HasSubstr;
using testsupport::Bytes;
using testsupport::Quote;
using testsupport::ScopedTempDir;

constexpr int kSampleRate = 44100;
constexpr int kSamplesPerFrame = 1152;

// MPEG-1 Layer III frames from `offset` on, every frame counted (a LAME or Xing information
// frame too), up to the first byte that does not start a frame.
int CountFrames(const Bytes& data, std::size_t offset) {
  static constexpr int kBitrates[] = {0,   32,  40,  48,  56,  64,  80,  96,
                                      112, 128, 160, 192, 224, 256, 320, 0};
  static constexpr int kRates[] = {44100, 48000, 32000, 0};
  int frames = 0;
  while (offset + 4 <= data.size() && data[offset] == 0xFF && (data[offset + 1] & 0xFE) == 0xFA) {
    const int bitrate = kBitrates[data[offset + 2] >> 4];
    const int rate = kRates[(data[offset + 2] >> 2) & 3];
    if (bitrate == 0 || rate == 0) break;
    const std::size_t length =
        static_cast<std::size_t>(144 * bitrate * 1000 / rate + ((data[offset + 2] >> 1) & 1));
    if (offset + length > data.size()) break;
    offset += length;
    ++frames;
  }
  return frames;
}

std::int32_t FramesToMs(int frames) {
  return static_cast<std::int32_t>(std::lround(frames * 1000.0 * kSamplesPerFrame / kSampleRate));
}

TEST(CuePeers, CueprintReadsOurSheets) {
  ASSERT_TRUE(testsupport::Peer("cueprint", "cuetools"));
  ScopedTempDir dir;
  CueInput input{.albumFileTitle = "Best Of_LB",
                 .details = {"Best \"Of\"", "Caf\xC3\xA9 Band", "2001"}};
  for (int i = 1; i <= 12; ++i) input.tracks.push_back({"Song " + std::to_string(i), 61500 + i});
  const auto sheet = dir / "sheet.cue";
  testsupport::WriteText(sheet, CueSheetText(input));
  std::string output;
  ASSERT_EQ(testsupport::RunCommand("cueprint -i cue " + Quote(sheet), &output), 0) << output;
  EXPECT_THAT(output, HasSubstr("Best 'Of'")) << output;
  EXPECT_THAT(output, HasSubstr("12")) << output;
  // One track's own template: title and where it starts.
  std::string track;
  ASSERT_EQ(
      testsupport::RunCommand("cueprint -n 10 -t '%n|%t|%p\\n' -i cue " + Quote(sheet), &track), 0)
      << track;
  EXPECT_THAT(track, HasSubstr("10|Song 10|")) << track;
}

TEST(CuePeers, Mp3spltSplitsAnAlbumAtOurTimes) {
  ASSERT_TRUE(testsupport::Peer("lame", "lame"));
  ASSERT_TRUE(testsupport::Peer("mp3splt", "mp3splt"));
  ScopedTempDir dir;
  const double seconds[] = {3.37, 5.1, 2.73};
  std::vector<album::AlbumItem> contents;
  for (std::size_t i = 0; i < std::size(seconds); ++i) {
    const auto mp3 = dir / ("t" + std::to_string(i + 1) + ".mp3");
    ASSERT_TRUE(testsupport::MakeMp3(mp3, seconds[i], 300.0 * static_cast<double>(i + 1)));
    mp3header::MP3HeaderInfo info;
    ASSERT_EQ(mp3header::AnalyseMP3(mp3, info), mp3header::AnalyseStatus::Ok);
    ASSERT_TRUE(mp3header::IsAcceptedTrack(mp3header::AnalyseStatus::Ok, info));
    const int frames =
        CountFrames(testsupport::ReadFile(mp3), static_cast<std::size_t>(info.HeaderPos - 1));
    contents.push_back(album::TrackItem(
        base::Utf8FromPath(mp3), info.HeaderPos,
        {FramesToMs(frames), 0, mp3.filename().string(), "Tone " + std::to_string(i + 1)}));
  }
  const auto albumPath = dir / "Tones_LB.MP3";
  const album::WriteResult written =
      album::WriteAlbum(albumPath, contents, {"Tones", "Peers", "2024", "", "3"}, {});
  ASSERT_TRUE(written.ok()) << written.error;

  const auto cue = dir / "Tones_LB.cue";
  std::string output;
  ASSERT_EQ(testsupport::RunCommand(LB_CLI " cue " + Quote(albumPath), &output), 0) << output;
  ASSERT_EQ(output, base::Utf8FromPath(cue) + "\nCUE File created.\n");

  const auto out = dir / "split";
  ASSERT_EQ(testsupport::RunCommand("mp3splt -q -n -x -c " + Quote(cue) + " -o @n -d " +
                                        Quote(out) + " " + Quote(albumPath),
                                    &output),
            0)
      << output;
  const std::vector<std::string> files = testing::FileNames(out);
  ASSERT_EQ(files.size(), contents.size()) << output;
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(files[i]);
    const int frames = CountFrames(testsupport::ReadFile(out / files[i]), 0);
    EXPECT_NEAR(FramesToMs(frames), contents[i].track.PlayLength, 50);
  }
}

}  // namespace
}  // namespace webview

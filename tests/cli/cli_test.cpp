// The command line end to end, with real MP3s made by lame and checked by real peers.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "album/albumwriter.h"
#include "album/archive.h"
#include "mp3header/mp3header.h"
#include "tests/cli/clitest.h"

namespace {

using nlohmann::json;
using testsupport::Bytes;
using testsupport::Quote;
using testsupport::ReadFile;
using testsupport::RunCommand;
using testsupport::ScopedTempDir;
using testsupport::ToneWav;

using clitest::kCli;

struct Fixture : clitest::PeerTest {
  // A 128 kbps MP3 made by lame; `extra` adds lame options (tags).
  std::filesystem::path MakeMp3(const std::string& name, double seconds, double pitch,
                                const std::string& extra = "") {
    EXPECT_TRUE(testsupport::MakeMp3(dir / name, seconds, pitch, extra)) << name;
    return dir / name;
  }

  // An album of the given sources through the writer, as the details window would make it.
  std::filesystem::path MakeAlbum(const std::vector<std::filesystem::path>& items) {
    std::vector<album::AlbumItem> contents;
    for (const auto& item : items) {
      if (album::KindOf(item.string()) != album::ItemKind::Track) {
        contents.push_back(album::FileItem(item.string()));
        continue;
      }
      mp3header::MP3HeaderInfo info;
      EXPECT_EQ(mp3header::AnalyseMP3(item, info), mp3header::AnalyseStatus::Ok);
      contents.push_back(
          album::TrackItem(item.string(), info.HeaderPos,
                           {1000, 0, item.filename().string(), item.stem().string()}));
    }
    const auto out = dir / "Band - Record _LB.MP3";
    const auto result =
        album::WriteAlbum(out, contents, {"Record", "Band", "2001", "Complete", "2"}, {});
    EXPECT_TRUE(result.ok()) << result.error;
    return out;
  }

  ScopedTempDir dir;
};

using Peers = Fixture;

TEST_F(Peers, AnAlbumOfRealTracksDecodesWholeAndCarriesItsTag) {
  const auto one = MakeMp3("one.mp3", 3.0, 440);
  const auto two = MakeMp3("two.mp3", 2.5, 550, "--add-id3v2 --tt Two --ta Band");
  testsupport::WriteText(dir / "one.txt", "la la la\r\n");
  testsupport::WriteFile(dir / "cover.jpg", testsupport::Pattern(2000));
  const auto albumPath = MakeAlbum({one, dir / "one.txt", two, dir / "cover.jpg"});

  std::string output;
  ASSERT_EQ(RunCommand("mpg123 -t -q " + Quote(albumPath), &output), 0) << output;
  EXPECT_EQ(output.find("rror"), std::string::npos) << output;

  ASSERT_EQ(RunCommand("ffprobe -v error -of json -show_entries format_tags " + Quote(albumPath),
                       &output),
            0)
      << output;
  const json tags = json::parse(output)["format"]["tags"];
  EXPECT_EQ(tags.value("title", ""), "Record");
  EXPECT_EQ(tags.value("artist", ""), "Band");
  EXPECT_EQ(tags.value("album", ""), "MP3 - Lyrabinder");
  EXPECT_FALSE(tags.contains("genre"));  // 255 stands for no genre
}

TEST_F(Peers, AnalyseAcceptsLameOutputAndRefusesOtherRates) {
  const auto good = MakeMp3("good.mp3", 1.0, 440, "--add-id3v2 --tt Tagged");
  const auto fast = MakeMp3("fast.mp3", 1.0, 440, "-b 160");
  const auto vbr = dir / "vbr.mp3";
  testsupport::WriteFile(dir / "v.wav", ToneWav(1.0, 440));
  ASSERT_EQ(RunCommand("lame --quiet -V 2 " + Quote(dir / "v.wav") + " " + Quote(vbr)), 0);
  std::string output;
  ASSERT_EQ(RunCommand("(" + kCli + " analyse --json " + Quote(good) + " " + Quote(fast) + " " +
                           Quote(vbr) + " /nonexistent.mp3 2>/dev/null)",
                       &output),
            1);  // the file that cannot be opened fails the run; the others are still analysed
  const json records = json::parse(output);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0]["accepted"], true);
  EXPECT_EQ(records[0]["bitrate"], 128);
  EXPECT_GT(records[0]["header_pos"].get<int>(), 1);
  EXPECT_EQ(records[1]["accepted"], false);
  EXPECT_EQ(records[1]["bitrate"], 160);
  EXPECT_EQ(records[2]["accepted"], false);
  EXPECT_EQ(records[2]["is_vbr"], true);
  EXPECT_EQ(records[2]["bitrate"], 127);
  EXPECT_EQ(records[3]["accepted"], false);
  EXPECT_TRUE(records[3]["bitrate"].is_null());
}

TEST_F(Peers, ListAndExtractGiveBackEveryItemWithoutTouchingTheAlbum) {
  const auto one = MakeMp3("one.mp3", 1.0, 440, "--add-id3v2 --tt One");
  const auto two = MakeMp3("two.mp3", 1.2, 660);
  testsupport::WriteText(dir / "two.txt", "words\n");
  testsupport::WriteFile(dir / "cover.gif", testsupport::Pattern(5000));
  const auto albumPath = MakeAlbum({dir / "cover.gif", one, two, dir / "two.txt"});
  const Bytes before = ReadFile(albumPath);

  std::string output;
  ASSERT_EQ(RunCommand(kCli + " list --json " + Quote(albumPath), &output), 0) << output;
  const json listing = json::parse(output);
  EXPECT_EQ(listing["format"], "album");
  EXPECT_EQ(listing["title"], "Record");
  EXPECT_EQ(listing["artist"], "Band");
  EXPECT_EQ(listing["comment"], "Complete");
  EXPECT_EQ(listing["year"], "2001");
  EXPECT_EQ(listing["tracks"], 2);
  const json& items = listing["items"];
  ASSERT_EQ(items.size(), 4u);
  EXPECT_EQ(items[0]["kind"], "track");
  EXPECT_EQ(items[0]["title"], "one");
  EXPECT_EQ(items[0]["play_ms"], 1000);
  EXPECT_EQ(items[2]["kind"], "picture");
  EXPECT_EQ(items[3]["kind"], "lyrics");
  EXPECT_EQ(items[3]["track"], 2);
  EXPECT_EQ(ReadFile(albumPath), before);

  const auto out = dir / "out";
  std::filesystem::create_directory(out);
  ASSERT_EQ(
      RunCommand(kCli + " extract " + Quote(albumPath) + " --to " + Quote(out) + " --all", &output),
      0)
      << output;
  // Tracks come back from their first frame on: the ID3v2 tag stays out.
  mp3header::MP3HeaderInfo info;
  ASSERT_EQ(mp3header::AnalyseMP3(one, info), mp3header::AnalyseStatus::Ok);
  const Bytes oneBytes = ReadFile(one);
  EXPECT_EQ(ReadFile(out / "one.mp3"),
            Bytes(oneBytes.begin() + info.HeaderPos - 1, oneBytes.end()));
  EXPECT_EQ(ReadFile(out / "two.mp3"), ReadFile(two));
  EXPECT_EQ(ReadFile(out / "cover.gif"), ReadFile(dir / "cover.gif"));
  EXPECT_EQ(ReadFile(out / "two.txt"), ReadFile(dir / "two.txt"));
  EXPECT_EQ(ReadFile(albumPath), before);

  const auto single = dir / "single";
  std::filesystem::create_directory(single);
  ASSERT_EQ(
      RunCommand(kCli + " extract " + Quote(albumPath) + " --to " + Quote(single) + " --item 2"),
      0);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(single), {}), 1);
  EXPECT_TRUE(std::filesystem::exists(single / "cover.gif"));
}

TEST_F(Peers, RefusesDamagedFilesAndBadUsage) {
  const auto plain = MakeMp3("plain.mp3", 0.5, 440);
  std::string output;
  EXPECT_EQ(RunCommand(kCli + " list " + Quote(plain), &output), 1);
  EXPECT_NE(output.find("File Is Damaged, Or Of An Unsupported Type !"), std::string::npos);
  EXPECT_EQ(RunCommand(kCli + " list /nonexistent/x_LB.MP3", &output), 1);
  EXPECT_EQ(RunCommand(kCli + " extract " + Quote(plain) + " --to " + Quote(dir.path()) + " --all"),
            1);
  EXPECT_EQ(RunCommand(kCli + " extract " + Quote(plain) + " --to " + Quote(dir.path())), 2);
  EXPECT_EQ(RunCommand(kCli + " frobnicate"), 2);
  EXPECT_EQ(RunCommand(kCli), 2);
  const auto albumPath = MakeAlbum({plain});
  EXPECT_EQ(RunCommand(kCli + " extract " + Quote(albumPath) + " --to " + Quote(dir.path()) +
                       " --item 7"),
            2);
}

}  // namespace

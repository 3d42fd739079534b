// `lyrabinder-cli create` end to end: real MP3s made by lame, checked by ffprobe and mpg123 and
// taken apart again by `list` and `extract`.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "media/decoder.h"
#include "mp3header/mp3header.h"
#include "tests/cli/clitest.h"

namespace {

using nlohmann::json;
using testsupport::Bytes;
using testsupport::Quote;
using testsupport::ReadFile;
using testsupport::RunCommand;

using clitest::kCli;

struct Create : clitest::PeerTest {
  void SetUp() override {
    clitest::PeerTest::SetUp();
    if (HasFatalFailure()) return;
    std::filesystem::create_directory(in);
    std::filesystem::create_directory(out);
  }

  std::filesystem::path Mp3(const std::string& name, double seconds, double pitch,
                            const std::string& tags = "") {
    EXPECT_TRUE(testsupport::MakeMp3(in / name, seconds, pitch, tags)) << name;
    return in / name;
  }

  // Runs the command line in the output folder; returns the exit status.
  int Cli(const std::string& arguments, std::string* output = nullptr) {
    return RunCommand("cd " + Quote(out) + " && " + kCli + " " + arguments, output);
  }

  std::vector<std::filesystem::path> Albums() const {
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
      if (entry.path().filename().string().find("_LB.MP3") != std::string::npos) {
        found.push_back(entry.path());
      }
    }
    return found;
  }

  json List(const std::filesystem::path& albumPath) {
    std::string output;
    EXPECT_EQ(RunCommand(kCli + " list --json " + Quote(albumPath), &output), 0) << output;
    return json::parse(output, nullptr, false);
  }

  testsupport::ScopedTempDir dir;
  std::filesystem::path in = dir / "in";
  std::filesystem::path out = dir / "out";
};

// The source's bytes from its first frame: what the album carries of it.
Bytes FromFirstFrame(const std::filesystem::path& path) {
  mp3header::MP3HeaderInfo info;
  EXPECT_EQ(mp3header::AnalyseMP3(path, info), mp3header::AnalyseStatus::Ok);
  const Bytes bytes = ReadFile(path);
  return Bytes(bytes.begin() + (info.HeaderPos - 1), bytes.end());
}

std::int64_t ExactSamples(const std::filesystem::path& path) {
  std::string error;
  auto decoder = media::Decoder::Open(path, error);
  EXPECT_TRUE(decoder) << error;
  return decoder ? decoder->ScanSamples().value_or(-1) : -1;
}

TEST_F(Create, AFolderBecomesAnAlbumThatPeersAndListAndExtractAgreeWith) {
  const auto one = Mp3("01 - Alpha.mp3", 2.0, 440,
                       "--add-id3v2 --pad-id3v2-size 2000 --tt \"Alpha Song\" "
                       "--ta \"The Testers\" --tl \"First Album\" --ty 2021");
  const auto two = Mp3("02 - Beta.mp3", 1.4, 550,
                       "--id3v1-only --tt Beta --ta Other --tl \"Second Album\" --ty 1999");
  const auto three = Mp3("03 - Gamma.mp3", 0.9, 660);
  testsupport::WriteText(in / "Alpha.txt", "one\r\ntwo\r\n");
  testsupport::WriteText(in / "gamma words.txt", "three\n");
  testsupport::WriteFile(in / "cover.jpg", testsupport::Pattern(5000, 3));
  testsupport::WriteFile(in / "back.gif", testsupport::Pattern(700, 9));

  std::string output;
  ASSERT_EQ(Cli("create --folder " + Quote(in), &output), 0) << output;
  EXPECT_NE(output.find("Album Created Successfully !"), std::string::npos) << output;
  const auto albumPath = out / "The Testers - First Album _LB.MP3";
  ASSERT_TRUE(std::filesystem::exists(albumPath)) << output;

  const json listing = List(albumPath);
  EXPECT_EQ(listing["title"], "First Album");
  EXPECT_EQ(listing["artist"], "The Testers");
  EXPECT_EQ(listing["year"], "2021");
  EXPECT_EQ(listing["comment"], "Complete");
  EXPECT_EQ(listing["tracks"], 3);
  const auto& items = listing["items"];
  std::vector<std::string> names;
  for (const auto& item : items) names.push_back(item["name"]);
  // Tracks, then pictures (in the order the folder lists them), then lyrics in list order.
  ASSERT_EQ(names.size(), 7u);
  std::sort(names.begin() + 3, names.begin() + 5);
  EXPECT_EQ(names,
            (std::vector<std::string>{"01 - Alpha.mp3", "02 - Beta.mp3", "03 - Gamma.mp3",
                                      "back.gif", "cover.jpg", "Alpha.txt", "gamma words.txt"}));
  EXPECT_EQ(items[0]["title"], "Alpha Song");
  EXPECT_EQ(items[1]["title"], "Beta");
  EXPECT_EQ(items[2]["title"], "Gamma");
  EXPECT_EQ(items[5]["track"], 1);
  EXPECT_EQ(items[6]["track"], 3);

  const Bytes albumBytes = ReadFile(albumPath);
  std::int64_t samples = 0;
  std::int64_t playSum = 0;
  const std::filesystem::path sources[] = {one, two, three};
  for (int k = 0; k < 3; ++k) {
    SCOPED_TRACE(sources[k].filename().string());
    // Within 30 ms of ffprobe: our length also counts the LAME info frame (26 ms) as audio.
    const double probed = testsupport::FfprobeMilliseconds(sources[k]);
    EXPECT_NEAR(items[k]["play_ms"].get<double>(), probed, 30.0);
    const Bytes audio(albumBytes.begin() + items[k]["offset"].get<std::ptrdiff_t>(),
                      albumBytes.begin() + items[k]["offset"].get<std::ptrdiff_t>() +
                          items[k]["size"].get<std::ptrdiff_t>());
    EXPECT_EQ(audio, FromFirstFrame(sources[k]));
    samples += ExactSamples(sources[k]);
    playSum += items[k]["play_ms"].get<std::int64_t>();
  }

  // mpg123 decodes the whole album; reading its first frame as the first track's info frame,
  // it may leave that one frame out.
  ASSERT_EQ(RunCommand("mpg123 -t -q " + Quote(albumPath), &output), 0) << output;
  ASSERT_EQ(
      RunCommand("mpg123 -q --no-gapless -w " + Quote(dir / "all.wav") + " " + Quote(albumPath),
                 &output),
      0)
      << output;
  const std::int64_t decoded =
      static_cast<std::int64_t>(std::filesystem::file_size(dir / "all.wav") - 44) / 4;
  EXPECT_TRUE(decoded == samples || decoded == samples - 1152) << decoded << " vs " << samples;
  EXPECT_NEAR(static_cast<double>(playSum), samples * 1000.0 / 44100.0, 2.0);

  const auto extracted = dir / "extracted";
  std::filesystem::create_directory(extracted);
  ASSERT_EQ(
      RunCommand(kCli + " extract " + Quote(albumPath) + " --to " + Quote(extracted) + " --all",
                 &output),
      0)
      << output;
  for (const auto& source : {one, two, three}) {
    EXPECT_EQ(ReadFile(extracted / source.filename()), FromFirstFrame(source)) << source;
  }
  for (const char* name : {"Alpha.txt", "gamma words.txt", "cover.jpg", "back.gif"}) {
    EXPECT_EQ(ReadFile(extracted / name), ReadFile(in / name)) << name;
  }
}

TEST_F(Create, NamedItemsTakeTheGivenDetailsAndTheChosenName) {
  const auto one = Mp3("Song - Band.mp3", 0.8, 300);  // read the wrong way round
  const auto two = Mp3("Band - Tune.mp3", 0.8, 400);
  testsupport::WriteText(in / "words.txt", "la\r\n");
  const std::string items = Quote(one) + " " + Quote(in / "words.txt") + " " + Quote(two);

  std::string output;
  ASSERT_EQ(Cli("create -o \"My Record.mp3\" --title T --artist A --year 2020 --incomplete "
                "--tracks 9 --fix-title 0 --fix-title 1 " +
                    items,
                &output),
            0)
      << output;
  const auto albumPath = out / "My Record _LB.MP3";
  const json listing = List(albumPath);
  EXPECT_EQ(listing["title"], "T");
  EXPECT_EQ(listing["artist"], "A");
  EXPECT_EQ(listing["year"], "2020");
  EXPECT_EQ(listing["comment"], "Incomplete!");
  EXPECT_EQ(ReadFile(albumPath)[ReadFile(albumPath).size() - 2], 9);  // the Track byte
  EXPECT_EQ(listing["items"][0]["title"], "Song");  // corrected: the part after the separator
  EXPECT_EQ(listing["items"][1]["title"], "Band");
  EXPECT_EQ(listing["items"][2]["track"], 1);

  // An existing album is replaced only with --force.
  const Bytes before = ReadFile(albumPath);
  EXPECT_EQ(Cli("create -o \"My Record.mp3\" --title New --artist A --year 2020 " + items, &output),
            1);
  EXPECT_NE(output.find("--force"), std::string::npos) << output;
  EXPECT_EQ(ReadFile(albumPath), before);
  ASSERT_EQ(Cli("create -o \"My Record.mp3\" --title New --artist A --year 2020 --force " + items,
                &output),
            0)
      << output;
  EXPECT_EQ(List(albumPath)["title"], "New");
  EXPECT_EQ(Cli("create --fix-title 2 --title T --artist A --year 1 " + items, &output), 2);

  // The proposed name in the current folder; a "/" in the details names no folder.
  ASSERT_EQ(Cli("create --title \"Back/Black\" --artist AC/DC --year 1980 " + items, &output), 0)
      << output;
  EXPECT_TRUE(std::filesystem::exists(out / "AC_DC - Back_Black _LB.MP3")) << output;
}

TEST_F(Create, BadInputIsRefusedWithTheSystemsMessagesAndWritesNothing) {
  const auto good =
      Mp3("good.mp3", 0.6, 440, "--id3v1-only --tt Good --ta Band --tl Rec --ty 2000");
  const auto untagged = Mp3("01 - Plain.mp3", 0.6, 440);
  ASSERT_TRUE(testsupport::MakeMp3(in / "fast.mp3", 0.6, 500, "", "-b 160 --cbr"));
  ASSERT_TRUE(testsupport::MakeMp3(in / "vbr.mp3", 0.6, 500, "", "-V 2"));
  testsupport::WriteText(in / "text.mp3", std::string(3000, 'x'));
  std::filesystem::create_symlink(in / "nowhere.mp3", in / "gone.mp3");
  testsupport::WriteText(in / "a.txt", "words");
  testsupport::WriteText(in / "letter.doc", "dear");
  // A frame header the analysis accepts, in a file that holds no decodable audio.
  Bytes odd(3000, 'z');
  const Bytes frame = testsupport::Mp3Frame();
  std::copy_n(frame.begin(), 4, odd.begin() + 1500);
  testsupport::WriteFile(in / "odd.mp3", odd);
  const auto empty = dir / "empty";
  std::filesystem::create_directory(empty);

  const auto q = [](const std::filesystem::path& p) { return Quote(p) + " "; };
  const struct {
    std::string arguments;
    std::vector<std::string> messages;
  } cases[] = {
      {q(good) + q(in / "fast.mp3") + q(in / "vbr.mp3"),
       {"Rejected Quality - Non 128 kbps (160) : fast.mp3",
        "Rejected Quality - Variable Bitrate MP3 : vbr.mp3",
        "Bitrate quality check of some MP3's failed (ckeck list)."}},
      {q(in / "text.mp3"),
       {"Rejected Quality - Non 128 kbps (0) : text.mp3",
        "Bitrate quality check of some MP3's failed (ckeck list)."}},
      {q(good) + q(in / "gone.mp3"), {"Cannot open " + (in / "gone.mp3").string()}},
      {"--folder " + q(empty), {"Error: You Must Include At Least One Music File !"}},
      {"--folder " + q(dir / "missing"), {"Cannot read folder"}},
      {q(in / "a.txt") + q(good), {"Error: A Lyrics File Was Listed Before A Music File !"}},
      {q(good) + q(in / "letter.doc"), {"letter.doc"}},
      {q(untagged), {"All Entries Must Be Filled To Continue"}},
      {q(good) + q(in / "odd.mp3"), {"Non-standard file detected : odd.mp3 ** Aborting Now **"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    std::string output;
    EXPECT_EQ(Cli("create " + c.arguments, &output), 1) << output;
    for (const std::string& message : c.messages) {
      EXPECT_NE(output.find(message), std::string::npos) << output;
    }
    EXPECT_TRUE(Albums().empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out),
                            std::filesystem::directory_iterator()),
              0);
  }
}

}  // namespace

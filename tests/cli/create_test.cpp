// `lyrabinder-cli create`, `analyse`, `list` and `extract` end to end: real MP3s made by lame,
// checked by ffprobe and mpg123.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <nlohmann/json.hpp>

#include "media/decoder.h"
#include "tests/cli/clitest.h"

namespace {

using nlohmann::json;
using testsupport::Bytes;
using testsupport::Quote;
using testsupport::ReadFile;
using testsupport::RunCommand;

using clitest::kCli;
using ::testing::HasSubstr;
using ::testing::Not;

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
  int Cli(const std::string& arguments, std::string* output = nullptr,
          const std::string& environment = "") {
    return RunCommand("cd " + Quote(out) + " && " + environment + " " + kCli + " " + arguments,
                      output);
  }

  // The listing's details; its items go to `items`.
  json List(const std::filesystem::path& albumPath, json* items = nullptr) {
    std::string output;
    EXPECT_EQ(RunCommand(kCli + " list --json " + Quote(albumPath), &output), 0) << output;
    json listing = json::parse(output, nullptr, false);
    if (items) *items = listing["items"];
    listing.erase("items");
    return listing;
  }

  testsupport::ScopedTempDir dir;
  std::filesystem::path in = dir / "in";
  std::filesystem::path out = dir / "out";
};

// The source's bytes from its first frame: what the album carries of it.
Bytes FromFirstFrame(const std::filesystem::path& path) {
  const Bytes bytes = ReadFile(path);
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(testsupport::Id3v2TagSize(bytes)),
               bytes.end());
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
  EXPECT_THAT(output, HasSubstr("Album Created Successfully !"));
  const auto albumPath = out / "The Testers - First Album _LB.MP3";
  ASSERT_TRUE(std::filesystem::exists(albumPath)) << output;

  const Bytes albumBytes = ReadFile(albumPath);

  // Peers read the album's tag; its genre 255 stands for none.
  ASSERT_EQ(RunCommand("ffprobe -v error -of json -show_entries format_tags " + Quote(albumPath),
                       &output),
            0)
      << output;
  EXPECT_EQ(json::parse(output)["format"]["tags"],
            json::parse(R"({"title": "First Album", "artist": "The Testers",)"
                        R"("album": "MP3 - Lyrabinder", "date": "2021", "comment": "Complete",)"
                        R"("track": "3"})"));

  json items;
  EXPECT_EQ(List(albumPath, &items),
            json::parse(R"({"format": "album", "title": "First Album", "artist": "The Testers",)"
                        R"("year": "2021", "comment": "Complete", "tracks": 3})"));
  // Tracks, then pictures (in the order the folder lists them), then lyrics in list order.
  std::vector<std::string> lines;
  for (const auto& item : items) {
    lines.push_back(item["kind"].get<std::string>() + " " + item["name"].get<std::string>() + " " +
                    item.value("title", "") + (item.contains("track") ? item["track"].dump() : ""));
  }
  ASSERT_EQ(lines.size(), 7u);
  std::sort(lines.begin() + 3, lines.begin() + 5);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "track 01 - Alpha.mp3 Alpha Song", "track 02 - Beta.mp3 Beta",
                       "track 03 - Gamma.mp3 Gamma", "picture back.gif ", "picture cover.jpg ",
                       "lyrics Alpha.txt 1", "lyrics gamma words.txt 3"}));

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

  // mpg123 decodes the whole album without a complaint; reading its first frame as the first
  // track's info frame, it may leave that one frame out.
  ASSERT_EQ(RunCommand("mpg123 -t -q " + Quote(albumPath), &output), 0) << output;
  EXPECT_THAT(output, Not(HasSubstr("rror")));
  ASSERT_EQ(
      RunCommand("mpg123 -q --no-gapless -w " + Quote(dir / "all.wav") + " " + Quote(albumPath),
                 &output),
      0)
      << output;
  const std::int64_t decoded =
      static_cast<std::int64_t>(std::filesystem::file_size(dir / "all.wav") - 44) / 4;
  EXPECT_TRUE(decoded == samples || decoded == samples - 1152) << decoded << " vs " << samples;
  EXPECT_NEAR(static_cast<double>(playSum), samples * 1000.0 / 44100.0, 2.0);

  // Every item comes back, tracks from their first frame on (tags stay out); one item alone.
  const auto extract = [&](const std::string& folder, const std::string& which) {
    std::filesystem::create_directory(dir / folder);
    return RunCommand(
        kCli + " extract " + Quote(albumPath) + " --to " + Quote(dir / folder) + " " + which,
        &output);
  };
  ASSERT_EQ(extract("extracted", "--all"), 0) << output;
  for (const auto& source : {one, two, three}) {
    EXPECT_EQ(ReadFile(dir / "extracted" / source.filename()), FromFirstFrame(source)) << source;
  }
  for (const char* name : {"Alpha.txt", "gamma words.txt", "cover.jpg", "back.gif"}) {
    EXPECT_EQ(ReadFile(dir / "extracted" / name), ReadFile(in / name)) << name;
  }
  ASSERT_EQ(extract("single", "--item 5"), 0) << output;
  EXPECT_EQ(clitest::ReadText(dir / "single" / "Alpha.txt"), "one\r\ntwo\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "single"), {}), 1);
  EXPECT_EQ(extract("single", "--item 7"), 2) << output;  // 0-6
  EXPECT_EQ(ReadFile(albumPath), albumBytes);  // listing and extracting never write to it
}

TEST_F(Create, AnalyseAcceptsLameOutputAndRefusesOtherRates) {
  const auto good = Mp3("good.mp3", 1.0, 440, "--add-id3v2 --tt Tagged");
  ASSERT_TRUE(testsupport::MakeMp3(in / "fast.mp3", 1.0, 440, "", "-b 160 --cbr"));
  ASSERT_TRUE(testsupport::MakeMp3(in / "vbr.mp3", 1.0, 440, "", "-V 2"));
  std::string output;
  ASSERT_EQ(
      RunCommand("(" + kCli + " analyse --json " + Quote(good) + " " + Quote(in / "fast.mp3") +
                     " " + Quote(in / "vbr.mp3") + " /nonexistent.mp3 2>/dev/null)",
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

TEST_F(Create, ListAndExtractRefuseWhatIsNoAlbumAndBadUsage) {
  const auto plain = Quote(Mp3("plain.mp3", 0.5, 440));
  const std::string damaged = "File Is Damaged, Or Of An Unsupported Type !";
  const struct {
    std::string arguments;
    int status;
    std::string message;
  } cases[] = {
      {"list " + plain, 1, damaged},
      {"list /nonexistent/x_LB.MP3", 1, ""},
      {"extract " + plain + " --to . --all", 1, ""},
      {"extract " + plain + " --to .", 2, ""},
      {"frobnicate", 2, ""},
      {"", 2, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    std::string output;
    EXPECT_EQ(Cli(c.arguments, &output), c.status) << output;
    EXPECT_THAT(output, HasSubstr(c.message));
  }
}

TEST_F(Create, NamedItemsTakeTheGivenDetailsAndTheChosenName) {
  const auto one = Mp3("Song - Band.mp3", 0.8, 300);  // read the wrong way round
  const auto two = Mp3("Band - Tune.mp3", 0.8, 400);
  testsupport::WriteText(in / "words.txt", "la\r\n");
  const std::string sources = Quote(one) + " " + Quote(in / "words.txt") + " " + Quote(two);

  std::string output;
  ASSERT_EQ(Cli("create -o \"My Record.mp3\" --title T --artist A --year 2020 --incomplete "
                "--tracks 9 --fix-title 0 --fix-title 1 " +
                    sources,
                &output),
            0)
      << output;
  const auto albumPath = out / "My Record _LB.MP3";
  json items;
  EXPECT_EQ(List(albumPath, &items),
            json::parse(R"({"format": "album", "title": "T", "artist": "A", "year": "2020",)"
                        R"("comment": "Incomplete!", "tracks": 2})"));
  EXPECT_EQ(ReadFile(albumPath)[ReadFile(albumPath).size() - 2], 9);  // the Track byte
  EXPECT_EQ(items[0]["title"], "Song");  // corrected: the part after the separator
  EXPECT_EQ(items[1]["title"], "Band");
  EXPECT_EQ(items[2]["track"], 1);

  // An existing album is replaced only with --force.
  const Bytes before = ReadFile(albumPath);
  EXPECT_EQ(
      Cli("create -o \"My Record.mp3\" --title New --artist A --year 2020 " + sources, &output), 1);
  EXPECT_THAT(output, HasSubstr("--force"));
  EXPECT_EQ(ReadFile(albumPath), before);
  ASSERT_EQ(Cli("create -o \"My Record.mp3\" --title New --artist A --year 2020 --force " + sources,
                &output),
            0)
      << output;
  EXPECT_EQ(List(albumPath)["title"], "New");
  // A symlink that leads nowhere is there all the same, and said to be.
  std::filesystem::create_symlink(out / "nowhere", out / "b_LB.MP3");
  EXPECT_EQ(Cli("create -o b_LB.MP3 --title T --artist A --year 1 " + sources, &output), 1);
  EXPECT_THAT(output, HasSubstr("b_LB.MP3 exists (a symlink to a missing file); give --force"));
  EXPECT_TRUE(std::filesystem::is_symlink(out / "b_LB.MP3"));
  EXPECT_EQ(Cli("create --fix-title 2 --title T --artist A --year 1 " + sources, &output), 2);

  // The proposed name in the current folder; a "/" in the details names no folder.
  ASSERT_EQ(Cli("create --title \"Back/Black\" --artist AC/DC --year 1980 " + sources, &output), 0)
      << output;
  EXPECT_TRUE(std::filesystem::exists(out / "AC_DC - Back_Black _LB.MP3")) << output;
}

TEST_F(Create, BadInputIsRefusedWithTheSystemsMessagesAndWritesNothing) {
  const auto good =
      Mp3("good.mp3", 0.6, 440, "--id3v1-only --tt Good --ta Band --tl Rec --ty 2000");
  const auto untagged = Mp3("01 - Plain.mp3", 0.6, 440);
  ASSERT_TRUE(testsupport::MakeMp3(in / "fast.mp3", 0.6, 500, "", "-b 160 --cbr"));
  ASSERT_TRUE(testsupport::MakeMp3(in / "vbr.mp3", 0.6, 500, "", "-V 2"));
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
      EXPECT_THAT(output, HasSubstr(message));
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out),
                            std::filesystem::directory_iterator()),
              0);
  }
}

}  // namespace

namespace {

// A track of a generated collection: 0.6 s, tagged with its album, artist and year.
void CollectionTrack(const std::filesystem::path& path, const std::string& album,
                     const std::string& rate = "-b 128 --cbr") {
  std::filesystem::create_directories(path.parent_path());
  ASSERT_TRUE(testsupport::MakeMp3(
      path, 0.6, 440, "--tt " + Quote(path.stem()) + " --ta Band --ty 2001 --tl " + Quote(album),
      rate));
}

// The records of `create --each --json`, by folder name (relative to `root`).
std::map<std::string, json> EachRun(const std::string& arguments, const std::filesystem::path& root,
                                    int& status) {
  std::string output;
  status = RunCommand(kCli + " create --each " + Quote(root) + " --json " + arguments, &output);
  std::map<std::string, json> records;
  for (const json& record : json::parse(output, nullptr, false)) {
    records[std::filesystem::path(record["folder"].get<std::string>())
                .lexically_relative(root)
                .string()] = record;
  }
  return records;
}

}  // namespace

TEST_F(Create, EachFolderOfACollectionBecomesAnAlbumAndASecondRunDoesNothing) {
  const auto root = in;
  CollectionTrack(root / "cbr/01 - a.mp3", "Plain");
  CollectionTrack(root / "cbr/02 - b.mp3", "Plain");
  CollectionTrack(root / "vbr/01 - c.mp3", "Varied", "-V 2");
  CollectionTrack(root / "vbr/deeper/01 - d.mp3", "Plain");  // the same name as "cbr"'s
  CollectionTrack(root / "blocked/01 - e.mp3", "Blocked");
  CollectionTrack(root / ".hidden/01 - f.mp3", "Hidden");
  std::filesystem::create_directories(root / "junk");
  testsupport::WriteText(root / "junk/01 - g.mp3", "");
  std::filesystem::create_directories(root / "empty");
  std::filesystem::create_directory_symlink("..", root / "cbr" / "loop");
  const auto albums = root / "albums";  // a folder of albums inside the collection
  // An album that cannot be written: a folder holds its name.
  std::filesystem::create_directories(albums / "Band - Blocked _LB.MP3");

  struct Run {
    std::string arguments;
    int status;
    std::map<std::string, std::string> expected;  // folder -> status
  };
  const Run runs[] = {
      {"--out " + Quote(albums),
       1,
       {{"cbr", "made"},
        {"vbr", "skipped"},
        {"vbr/deeper", "made"},
        {"blocked", "failed"},
        {"junk", "skipped"}}},
      {"--out " + Quote(albums) + " --convert",
       1,
       {{"cbr", "skipped"},
        {"vbr", "made"},
        {"vbr/deeper", "skipped"},
        {"blocked", "failed"},
        {"junk", "skipped"}}},
  };
  for (const Run& run : runs) {
    SCOPED_TRACE(run.arguments);
    int status = 0;
    const auto records = EachRun(run.arguments, root, status);
    EXPECT_EQ(status, run.status);
    ASSERT_EQ(records.size(), run.expected.size());
    for (const auto& [folder, expected] : run.expected) {
      ASSERT_TRUE(records.contains(folder)) << folder;
      EXPECT_EQ(records.at(folder)["status"], expected) << folder << ": " << records.at(folder);
    }
  }
  int status = 0;
  auto records = EachRun("--out " + Quote(albums), root, status);
  EXPECT_THAT(records["vbr"]["reason"].get<std::string>(), HasSubstr("newer than every file"));
  EXPECT_THAT(records["junk"]["reason"].get<std::string>(), HasSubstr("propose no album title"));
  // Both albums named "Band - Plain" are kept: the second gets a number.
  EXPECT_EQ(records["cbr"]["album"], (albums / "Band - Plain _LB.MP3").string());
  EXPECT_EQ(records["vbr/deeper"]["album"], (albums / "Band - Plain (2) _LB.MP3").string());

  // The converted album plays through and lists its converted track under its own name.
  const auto varied = albums / "Band - Varied _LB.MP3";
  EXPECT_EQ(RunCommand("mpg123 -q -t " + Quote(varied)), 0);
  json items;
  EXPECT_EQ(List(varied, &items)["title"], "Varied");
  EXPECT_EQ(items[0]["name"], "01 - c.mp3");
  EXPECT_EQ(items[0]["title"], "01 - c");

  // A track changed after its album: the album stays until --force replaces it.
  std::filesystem::last_write_time(
      root / "cbr/01 - a.mp3",
      std::filesystem::file_time_type::clock::now() + std::chrono::hours(1));
  records = EachRun("--out " + Quote(albums), root, status);
  EXPECT_THAT(records["cbr"]["reason"].get<std::string>(), HasSubstr("--force replaces it"));

  // Once the blocking folder is gone the run succeeds; beside the folders without --out.
  std::filesystem::remove(albums / "Band - Blocked _LB.MP3");
  records = EachRun("--out " + Quote(albums) + " --convert", root, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(records["blocked"]["status"], "made");
  records = EachRun("--force", root / "cbr", status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(records["."]["album"], (root / "Band - Plain _LB.MP3").string());
}

TEST_F(Create, ConvertedTracksPassTheQualityCheckKeepTheirTagsAndTheirLength) {
  struct Case {
    std::string rate;
  };
  const Case cases[] = {
      {"-V 2"}, {"-b 320 --resample 48"}, {"-V 5 -m m --resample 22.05"}, {"-b 192 --add-id3v2"}};
  const auto temp = dir / "temp";
  std::filesystem::create_directory(temp);
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    const auto source = in / ("track" + std::to_string(n++) + ".mp3");
    CollectionTrack(source, "Converted", c.rate);
    std::string output;
    // Refused without --convert, and the refusal says what would help.
    EXPECT_EQ(RunCommand(kCli + " create -o x.mp3 " + Quote(source) + " 2>&1", &output), 1);
    EXPECT_THAT(output, HasSubstr("--convert"));
    ASSERT_EQ(Cli("create --convert --force -o x.mp3 " + Quote(source) + " 2>&1", &output,
                  "TMPDIR=" + Quote(temp)),
              0)
        << output;
    json items;
    EXPECT_EQ(List(out / "x _LB.MP3", &items)["title"], "Converted");
    EXPECT_EQ(items[0]["title"], source.stem().string());
    // The source's sound and the new encoder's delay of 1105 samples, within one frame.
    std::string error;
    const auto sound = media::Decoder::Open(source, error, 0, true);
    ASSERT_TRUE(sound) << error;
    const double soundMs =
        static_cast<double>(sound->ScanSamples().value_or(0)) * 1000.0 / sound->Rate();
    EXPECT_NEAR(items[0]["play_ms"].get<double>(), soundMs + 1105 * 1000.0 / 44100,
                1152 * 1000.0 / 44100 + 1);
  }
  EXPECT_TRUE(std::filesystem::is_empty(temp));  // the converted copies are gone
}

TEST_F(Create, CtrlCStopsEveryFolderAndLeavesNoPartialAlbum) {
  for (int f = 0; f < 6; ++f) {
    for (int t = 0; t < 3; ++t) {
      CollectionTrack(in / ("f" + std::to_string(f)) / ("0" + std::to_string(t) + ".mp3"),
                      "Album " + std::to_string(f), "-V 2");
    }
  }
  // Interrupted once the first album is there (or at once, on a machine that fast).
  const std::string run = kCli + " create --each " + Quote(in) + " --out " + Quote(out) +
                          " --convert --jobs 1 >/dev/null";
  RunCommand(run + " & pid=$!; for i in $(seq 600); do ls " + Quote(out) +
             " | grep -q _LB && break; sleep 0.05; done; kill -INT $pid; wait $pid");
  for (const auto& entry : std::filesystem::directory_iterator(out)) {
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_THAT(entry.path().filename().string(), HasSubstr(" _LB.MP3"));
    EXPECT_EQ(RunCommand(kCli + " list " + Quote(entry.path()) + " >/dev/null"), 0);
  }
  // A second run finishes the rest.
  int status = 0;
  const auto records = EachRun("--out " + Quote(out) + " --convert", in, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(records.size(), 6u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out), {}), 6);
}

// The command line against hostile files, odd paths, full disks and races: nothing is lost,
// nothing outside its place is touched, and every refusal says why.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "album/albumformat.h"
#include "base/bytes.h"
#include "tests/cli/clitest.h"
#include "webview/webfolder.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Bytes;
using testsupport::Quote;

using clitest::ReadText;
using ::testing::HasSubstr;
using ::testing::Not;

class Hostile : public clitest::CliTest {
 protected:
  // A small tmpfs at `path` (root only); false where mounting is not allowed.
  bool MountSmallDisk(const fs::path& path, const char* size) {
    fs::create_directories(path);
    if (::mount("tmpfs", path.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) != 0) {
      return false;
    }
    m_mounts.push_back(path);
    return true;
  }

  ~Hostile() override {
    for (const auto& mount : m_mounts) ::umount2(mount.c_str(), MNT_DETACH);
  }

  std::vector<fs::path> m_mounts;
};

// --- names and folders -------------------------------------------------------------------

TEST_F(Hostile, WebFolderStaysInAPrivateFolderWhateverTmpdirSays) {
  // Another program's folder that an album named "tmp" / "victim" reached through "/" + artist.
  const std::string victim = "victim-" + std::to_string(::getpid());
  const fs::path other = fs::path("/tmp") / victim;
  fs::create_directories(other);
  testsupport::WriteText(other / ".hidden", "keep");
  testsupport::WriteText(other / "view.js", "keep");
  const auto path =
      Album({{"one.mp3", testsupport::Mp3Stream(2), 1, "One"}}, {victim, "tmp", "2001", "", ""});
  for (const std::string& tmpdir : {"TMPDIR=" + Quote(dir / "missing"), std::string("TMPDIR=")}) {
    SCOPED_TRACE(tmpdir);
    std::string out, err;
    EXPECT_EQ(Cli("web " + Quote(path), out, err, tmpdir), 0) << err;
    EXPECT_EQ(out.rfind("/tmp/" + webview::WebRootLevel() + "/tmp/" + victim + "/", 0), 0u) << out;
    EXPECT_EQ(ReadText(other / ".hidden"), "keep");
    EXPECT_EQ(ReadText(other / "view.js"), "keep");
  }
  fs::remove_all(other);
  fs::remove_all(fs::path("/tmp") / webview::WebRootLevel() / "tmp" / victim);
}

TEST_F(Hostile, WebFolderNeverFollowsSymlinksNorClearsOtherFiles) {
  const auto path =
      Album({{"one.mp3", testsupport::Mp3Stream(2), 1, "One"}}, {"docs", "Evil", "2001", "", ""});
  const fs::path victim = dir / "victim";
  fs::create_directories(victim / "Evil" / "docs");
  fs::create_directories(victim / "docs");
  testsupport::WriteText(victim / "Evil" / "docs" / "view.js", "keep");
  testsupport::WriteText(victim / "docs" / "letter.txt", "keep");
  const fs::path root = dir / "temp" / webview::WebRootLevel();
  std::string out, err;

  // Someone else's link in place of the web root (the view moves to a folder of our own),
  // then in place of the artist level.
  for (const fs::path& link : {root, root / "Evil"}) {
    SCOPED_TRACE(link);
    fs::create_directories(link.parent_path());
    fs::create_directory_symlink(victim, link);
    EXPECT_EQ(Cli("web " + Quote(path), out, err, "XDG_RUNTIME_DIR="), link == root ? 0 : 1);
    EXPECT_THAT(err, HasSubstr("not a folder"));
    if (link == root) {
      EXPECT_THAT(err, HasSubstr("the web view is in " + out.substr(0, out.size() - 1)));
    }
    fs::remove(link);
  }
  EXPECT_EQ(ReadText(victim / "Evil" / "docs" / "view.js"), "keep");
  EXPECT_EQ(ReadText(victim / "docs" / "letter.txt"), "keep");

  SCOPED_TRACE("our own folder: private, and only the view's files are cleared");
  ASSERT_EQ(Cli("web " + Quote(path), out, err), 0) << err;
  const fs::path folder = root / "Evil" / "docs";
  testsupport::WriteText(folder / "notes.txt", "keep");
  fs::remove(folder / "view.js");  // makes the next opening regenerate
  ASSERT_EQ(Cli("web " + Quote(path), out, err), 0) << err;
  EXPECT_EQ(ReadText(folder / "notes.txt"), "keep");
  EXPECT_TRUE(fs::exists(folder / "view.js"));
  for (const auto& level : {root, root / "Evil", folder}) {
    struct stat info {};
    ASSERT_EQ(::stat(level.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u) << level;
  }

  SCOPED_TRACE("a level of another user");
  ASSERT_EQ(::chown((root / "Evil").c_str(), 12345, 12345), 0) << "chown needs root";
  EXPECT_NE(Cli("web " + Quote(path), out, err), 0);
  EXPECT_THAT(err, HasSubstr("another user"));
}

TEST_F(Hostile, ExtractionNeverReplacesTheAlbumNorAnEarlierItem) {
  const Bytes first = testsupport::Mp3Stream(2), second = testsupport::Mp3Stream(3),
              own = testsupport::Mp3Stream(4);
  const auto path = Album({{"a/same.mp3", first, 1, "A"},
                           {"b/same.mp3", second, 1, "B"},
                           {"c/x.mp3", own, 1, "C", "x_LB.MP3"}},
                          {}, "x_LB.MP3");
  const Bytes albumBytes = testsupport::ReadFile(path);
  std::string out, err;
  ASSERT_EQ(Cli("extract " + Quote(path) + " --all --to " + Quote(dir.path()), out, err), 0) << err;
  EXPECT_EQ(testsupport::ReadFile(path), albumBytes);
  EXPECT_EQ(testsupport::ReadFile(dir / "same.mp3"), first);
  EXPECT_EQ(testsupport::ReadFile(dir / "same (2).mp3"), second);
  EXPECT_EQ(testsupport::ReadFile(dir / "x_LB (2).MP3"), own);
  EXPECT_THAT(err, HasSubstr("same (2).mp3"));
  EXPECT_THAT(err, HasSubstr("x_LB (2).MP3"));
}

// A name that fits, one that fits only without " (2)", and one that fits only once cut.
TEST_F(Hostile, LongNamesAreShortenedKeepingTheExtensionAndTheNumber) {
  const std::string name = std::string(250, 'n') + ".mp3";  // 254 bytes, legal
  std::string accents;
  for (int i = 0; i < 250; ++i) accents += "\xC3\xA9";  // 500 bytes once extracted
  const Bytes one = testsupport::Mp3Stream(2), two = testsupport::Mp3Stream(3),
              three = testsupport::Mp3Stream(4), four = testsupport::Mp3Stream(5);
  const auto path = Album({{"1.mp3", one, 1, "A", name},
                           {"2.mp3", two, 1, "B", name},
                           {"3.mp3", three, 1, "C", name},
                           {"4.mp3", four, 1, "D", accents + ".mp3"}});
  fs::create_directory(dir / "out");
  std::string out, err;
  ASSERT_EQ(Cli("extract " + Quote(path) + " --all --to " + Quote(dir / "out"), out, err), 0)
      << err;
  EXPECT_EQ(testsupport::ReadFile(dir / "out" / name), one);
  EXPECT_EQ(testsupport::ReadFile(dir / "out" / (std::string(247, 'n') + " (2).mp3")), two);
  EXPECT_EQ(testsupport::ReadFile(dir / "out" / (std::string(247, 'n') + " (3).mp3")), three);
  EXPECT_EQ(testsupport::ReadFile(dir / "out" / (accents.substr(0, 250) + ".mp3")), four);
}

TEST_F(Hostile, ExtractReplacesOnlyWithForceAndNeverAFileMadeReadOnly) {
  const Bytes track = testsupport::Mp3Stream(2);
  const auto path = Album({{"One.mp3", track, 1, "One"}});
  fs::create_directory(dir / "out");
  const auto mine = dir / "out" / "One.mp3";
  const std::string extract = "extract " + Quote(path) + " --item 0 --to " + Quote(dir / "out");
  const struct {
    const char* options;
    mode_t mode;
    int status;
    const char* said;
  } cases[] = {
      {"", 0644, 1, "One.mp3 exists; give --force to replace it"},
      {"--force", 0444, 1, "One.mp3 is read-only; it is not replaced"},
      {"--force", 0644, 0, "File(s) Extraction Completed."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.options) + " " + std::to_string(c.mode));
    testsupport::WriteText(mine, "the user's file");
    ASSERT_EQ(::chmod(mine.c_str(), c.mode), 0);
    std::string out, err;
    EXPECT_EQ(Cli(extract + " " + c.options, out, err), c.status);
    EXPECT_THAT(out + err, HasSubstr(c.said));
    EXPECT_EQ(testsupport::ReadFile(mine),
              c.status == 0 ? track : testsupport::BytesOf("the user's file"));
    fs::remove(mine);
  }
}

// --- replacing files ----------------------------------------------------------------------

TEST_F(Hostile, EncodeReplacesAnExistingMp3OnlyWithForceAndNeverThroughALink) {
  testsupport::WriteFile(dir / "x.wav", testsupport::ToneWav(0.5, 440));
  testsupport::WriteText(dir / "x.mp3", "the user's file");
  std::string out, err;
  EXPECT_NE(Cli("encode x.wav", out, err), 0);
  EXPECT_EQ(ReadText(dir / "x.mp3"), "the user's file");
  EXPECT_THAT(err, HasSubstr("--force"));

  // A WAV named ".mp3" is its own output: no --force helps, and none is advised.
  testsupport::WriteFile(dir / "own.mp3", testsupport::ToneWav(0.5, 440));
  for (const std::string force : {"", "--force "}) {
    EXPECT_NE(Cli("encode " + force + "own.mp3", out, err), 0);
    EXPECT_THAT(err, HasSubstr("own.mp3: it would be its own output"));
    EXPECT_THAT(err, Not(HasSubstr("--force")));
  }

  fs::remove(dir / "x.mp3");
  testsupport::WriteText(dir / "target.txt", "another file");
  fs::create_symlink(dir / "target.txt", dir / "x.mp3");
  EXPECT_NE(Cli("encode x.wav", out, err), 0);
  EXPECT_EQ(ReadText(dir / "target.txt"), "another file");
  ASSERT_EQ(Cli("encode --force x.wav", out, err), 0) << err;
  EXPECT_EQ(ReadText(dir / "target.txt"), "another file");
  EXPECT_FALSE(fs::is_symlink(dir / "x.mp3"));
  EXPECT_GT(fs::file_size(dir / "x.mp3"), 1000u);
}

TEST_F(Hostile, CueNeverReplacesASheetWithoutForceWhateverThePath) {
  const auto path = Album({{"one.mp3", testsupport::Mp3Stream(2), 1, "One"}});
  testsupport::WriteText(dir / "Best_LB.cue", "hand-edited");
  std::string out, err;
  for (const std::string& given :
       {std::string("Best_LB.MP3"), std::string("./Best_LB.MP3"), Quote(path)}) {
    SCOPED_TRACE(given);
    EXPECT_NE(Cli("cue " + given, out, err), 0);
    EXPECT_EQ(ReadText(dir / "Best_LB.cue"), "hand-edited");
  }
  EXPECT_EQ(Cli("cue --force Best_LB.MP3", out, err), 0) << err;
  EXPECT_NE(ReadText(dir / "Best_LB.cue"), "hand-edited");
}

TEST_F(Hostile, AFullDiskNamesTheFileWrittenAndTheCauseAndLeavesNothing) {
  if (!MountSmallDisk(dir / "full", "16k")) GTEST_SKIP() << "mounting a tmpfs needs root";
  const Bytes big = testsupport::Mp3Stream(200);  // far beyond 16 KiB
  const auto path = Album({{"big.mp3", big, 1, "Big"}});
  std::string out, err;
  EXPECT_NE(Cli("extract " + Quote(path) + " --all --to " + Quote(dir / "full"), out, err), 0);
  EXPECT_THAT(err, HasSubstr("cannot write " + (dir / "full" / "big.mp3").string()));
  EXPECT_THAT(err, HasSubstr("No space left on device"));
  EXPECT_TRUE(fs::is_empty(dir / "full"));

  // The album writer: the album being written is named, not its source.
  const auto written =
      album::testing::MakeAlbum(dir, {{"src/big.mp3", big, 1, "Big"}}, dir / "full" / "a _LB.MP3");
  EXPECT_EQ(written.status, album::WriteStatus::WriteFailed);
  EXPECT_THAT(written.error,
              HasSubstr("Cannot Write The Album File : " + (dir / "full" / "a _LB.MP3").string()));
  EXPECT_THAT(written.error, HasSubstr("No space left on device"));
  EXPECT_TRUE(fs::is_empty(dir / "full"));

  // The encoder: a 16 KiB WAV fits, its MP3 does not.
  ASSERT_TRUE(MountSmallDisk(dir / "wav", "20k"));
  testsupport::WriteFile(dir / "wav" / "w.wav", testsupport::ToneWav(1.0, 440, 1, 8000));
  EXPECT_NE(Cli("encode " + Quote(dir / "wav" / "w.wav"), out, err), 0);
  EXPECT_THAT(err, HasSubstr("No space left on device"));
  EXPECT_EQ(webview::testing::FileNames(dir / "wav"), std::vector<std::string>{"w.wav"});
}

// --- races ----------------------------------------------------------------------------------

TEST_F(Hostile, AnAlbumThatAppearsWhileWritingIsKeptUnlessReplacingWasAsked) {
  const auto output = dir / "new _LB.MP3";
  const album::WriteProgress progress = [&](int value, int) {
    if (value == 1) testsupport::WriteText(output, "the other run's album");
    return true;
  };
  const std::vector<album::AlbumItem> contents = {
      album::TrackItem((dir / "t.mp3").string(), 1, {1000, 0, "t.mp3", "T"})};
  testsupport::WriteFile(dir / "t.mp3", testsupport::Mp3Stream(2));
  const auto write = [&](base::Replace replace) {
    return album::WriteAlbum(output, contents, {"T", "A", "2001", "", "1"}, progress, replace);
  };
  const auto kept = write(base::Replace::Never);
  EXPECT_EQ(kept.status, album::WriteStatus::TargetExists);
  EXPECT_THAT(kept.error, HasSubstr("new _LB.MP3"));
  EXPECT_EQ(ReadText(output), "the other run's album");
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    EXPECT_FALSE(entry.path().extension() == ".tmp") << entry.path();  // no unfinished file
  }

  EXPECT_TRUE(write(base::Replace::Allowed).ok());
  EXPECT_NE(ReadText(output), "the other run's album");
}

// --- special files --------------------------------------------------------------------------

TEST_F(Hostile, EveryCommandRefusesAFifoWithoutWaitingOnIt) {
  ASSERT_EQ(::mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
  fs::create_directory(dir / "out");
  for (const std::string_view command :
       {"list pipe.wav", "list --json pipe.wav", "analyse pipe.wav", "cue pipe.wav",
        "extract pipe.wav --all --to out", "encode pipe.wav", "web pipe.wav"}) {
    SCOPED_TRACE(command);
    std::string out, err;
    const int status = Cli(std::string(command), out, err);
    EXPECT_NE(status, 0);
    EXPECT_NE(status, 124 << 8) << "blocked";
    EXPECT_THAT(err, HasSubstr("not a regular file"));
  }
}

// --- hostile WAVs --------------------------------------------------------------------------

TEST_F(Hostile, EncodeRefusesRatesAndChannelsOutOfRangeAndSaysWhyEachFileFailed) {
  testsupport::WriteFile(dir / "slow.wav", testsupport::ToneWav(500, 440, 2, 1));
  testsupport::WriteFile(dir / "wide.wav", testsupport::ToneWav(0.01, 440, 6));
  testsupport::WriteText(dir / "text.wav", std::string(500, 'x'));
  testsupport::WriteFile(dir / "hang.wav", testsupport::InfoChunkHangWav());
  testsupport::WriteFile(dir / "silent.wav", testsupport::ToneWav(0, 440));
  struct Case {
    const char* file;
    const char* reason;
  } const cases[] = {
      {"slow.wav", "sample rate 1 Hz is outside 8000-192000 Hz"},
      {"wide.wav", "6 channels"},
      {"text.wav", "not a WAV file we can read"},
      {"hang.wav", "not a WAV file we can read"},
      {"silent.wav", "no audio"},
      {"missing.wav", "No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::string out, err;
    EXPECT_NE(Cli(std::string("encode ") + c.file, out, err), 0);
    EXPECT_THAT(err, HasSubstr(std::string("Encoding failed: ") + c.file + ": "));
    EXPECT_THAT(err, HasSubstr(c.reason));
    EXPECT_EQ(err.find(c.file), err.rfind(c.file)) << "named twice: " << err;
    EXPECT_FALSE(fs::exists(fs::path(dir / c.file).replace_extension(".mp3")));
  }
}

// --- what reaches the terminal; one validation for every command -------------------------

TEST_F(Hostile, ListShowsControlCharactersEscapedAndJsonKeepsThemExact) {
  const std::string name = "a\x1b[2Jb\anew\nline.mp3";
  const auto path = Album({{"one.mp3", testsupport::Mp3Stream(2), 1, "T\x1b]0;x\a", name}},
                          {"Ti\x1btle", "Art\nist", "2001", "", ""});
  std::string out, err;
  ASSERT_EQ(Cli("list " + Quote(path), out, err), 0) << err;
  for (const char c : out) {
    EXPECT_TRUE(c == '\n' || c == '\t' || static_cast<unsigned char>(c) >= 0x20)
        << static_cast<int>(c);
  }
  EXPECT_THAT(out, HasSubstr("a\\033[2Jb\\anew\\nline.mp3"));
  EXPECT_THAT(out, HasSubstr("Art\\nist"));

  ASSERT_EQ(Cli("list --json " + Quote(path), out, err), 0) << err;
  EXPECT_THAT(out, Not(HasSubstr("\x1b")));
  const auto listing = nlohmann::json::parse(out);
  EXPECT_EQ(listing["items"][0]["name"], name);
  EXPECT_EQ(listing["artist"], "Art\nist");
}

TEST_F(Hostile, CueRefusesAlbumsTheOtherCommandsRefuse) {
  const Bytes track = testsupport::Mp3Stream(2);
  const auto path = Album({{"one.mp3", track, 1, "One"}, {"c.gif", Bytes(100, 7)}});
  Bytes data = testsupport::ReadFile(path);
  base::PutLE32(data, track.size(), 0x7FFFFFF0);  // the picture's DataSize
  testsupport::WriteFile(path, data);
  for (const std::string_view command : {"list", "cue"}) {
    SCOPED_TRACE(command);
    std::string out, err;
    EXPECT_NE(Cli(std::string(command) + " " + Quote(path), out, err), 0);
    EXPECT_THAT(err, HasSubstr(std::string(album::kDamagedMessage)));
  }
  EXPECT_FALSE(fs::exists(dir / "Best_LB.cue"));
}

// --- playing ---------------------------------------------------------------------------

TEST_F(Hostile, PlaySaysWhyAnAlbumWithoutAudioCannotPlay) {
  const auto path = Album({{"one.mp3", {}, 1, "One"}, {"two.mp3", {}, 1, "Two"}});
  std::string out, err;
  EXPECT_EQ(Cli("play " + Quote(path), out, err, "SDL_AUDIODRIVER=dummy"), 1);
  EXPECT_EQ(
      err, "cannot play " + path.string() + ": its tracks hold no MPEG audio that can be played\n");
}

TEST_F(Hostile, PlayTakesDecodedBoundariesWhereTheTableIsImpossible) {
  // 40, 60 and 80 frames: 1045, 1567 and 2090 ms.
  const auto path = Album({{"one.mp3", testsupport::Mp3Stream(40), 1, "One"},
                           {"two.mp3", testsupport::Mp3Stream(60), 1, "Two"},
                           {"three.mp3", testsupport::Mp3Stream(80), 1, "Three"}});
  const Bytes good = testsupport::ReadFile(path);
  const std::size_t directory = good.size() - album::kTailSize - 3 * album::kTrackEntrySize;
  const struct {
    const char* why;
    std::int32_t lengths[3];
  } cases[] = {
      {"negative length", {1045, -5000, 2090}},
      {"empty track", {1045, 0, 2090}},
      {"negative first length", {-2000, 1567, 2090}},
      {"track beyond the album", {3000000, 1567, 2090}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    Bytes data = good;
    for (std::size_t k = 0; k < 3; ++k) {
      base::PutLE32(data, directory + k * album::kTrackEntrySize, c.lengths[k]);
    }
    testsupport::WriteFile(path, data);
    std::string out, err;
    ASSERT_EQ(
        Cli("play --json --track 2 --for 300 " + Quote(path), out, err, "SDL_AUDIODRIVER=dummy"), 0)
        << err;
    std::istringstream lines(out);
    std::string line;
    std::vector<nlohmann::json> shown;
    while (std::getline(lines, line)) shown.push_back(nlohmann::json::parse(line));
    ASSERT_FALSE(shown.empty());
    for (const auto& object : shown) EXPECT_EQ(object["track"], 2) << out;
    EXPECT_EQ(shown.front()["track_start_ms"], 1044) << out;
    EXPECT_EQ(shown.front()["track_end_ms"], 2612) << out;
  }
}

}  // namespace

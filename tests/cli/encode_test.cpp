// `lyrabinder-cli encode` end to end: it finds the bridge from its own folder and loads it by name.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "tests/cli/clitest.h"

namespace {

using testsupport::ToneWav;
using testsupport::WriteFile;
namespace fs = std::filesystem;

using clitest::kCli;
using ::testing::HasSubstr;
using ::testing::Not;

using EncodeCommand = clitest::CliTest;

TEST_F(EncodeCommand, EncodesEachFileAndNamesTheOnesThatFail) {
  WriteFile(dir / "first.wav", ToneWav(0.5, 440));
  WriteFile(dir / "second.wav", ToneWav(0.5, 330, 1, 22050));
  std::string out, err;
  EXPECT_EQ(Cli("encode first.wav missing.wav second.wav", out, err), 1);
  EXPECT_THAT(err, HasSubstr("Encoding failed: missing.wav"));
  EXPECT_THAT(err, Not(HasSubstr("Encoding failed: first.wav")));
  EXPECT_EQ(out, "Encoding Complete !\n");
  EXPECT_TRUE(fs::exists(dir / "first.mp3"));
  EXPECT_TRUE(fs::exists(dir / "second.mp3"));

  // No BladeEnc library is shipped.
  fs::remove(dir / "first.mp3");
  EXPECT_EQ(Cli("encode --encoder bladeenc first.wav", out, err), 1);
  EXPECT_THAT(err, HasSubstr("Encoding failed: first.wav"));
  EXPECT_FALSE(fs::exists(dir / "first.mp3"));
}

TEST_F(EncodeCommand, EncodesInParallelToTheBytesOfOneFileAtATime) {
  const std::vector<std::pair<std::string, testsupport::Bytes>> inputs = {
      {"one.wav", ToneWav(3.0, 440)},
      {"two.wav", ToneWav(2.0, 330, 1, 22050)},
      {"three.wav", ToneWav(4.0, 550)},
      {"four.wav", ToneWav(1.0, 660, 2, 48000)},
  };
  fs::create_directories(dir / "together");
  fs::create_directories(dir / "alone");
  std::string files;
  for (const auto& [name, wav] : inputs) {
    WriteFile(dir / "together" / name, wav);
    WriteFile(dir / "alone" / name, wav);
    files += " together/" + name;
  }
  std::string out, err;
  ASSERT_EQ(Cli("encode" + files, out, err), 0) << err;
  EXPECT_EQ(out, "Encoding Complete !\n");
  for (const auto& [name, wav] : inputs) {
    ASSERT_EQ(Cli("encode alone/" + name, out, err), 0) << err;
  }
  for (const auto& [name, wav] : inputs) {
    SCOPED_TRACE(name);
    const fs::path mp3 = fs::path(name).replace_extension(".mp3");
    const auto together = testsupport::ReadFile(dir / "together" / mp3);
    EXPECT_FALSE(together.empty());
    EXPECT_EQ(together, testsupport::ReadFile(dir / "alone" / mp3));
  }

  // Two inputs with one output are encoded one after the other, never into one file at once,
  // and the later one never replaces the earlier one's output, with --force or without.
  WriteFile(dir / "together" / "same.wav", ToneWav(3.0, 440));  // as one.wav
  WriteFile(dir / "together" / "same.WAV", ToneWav(3.0, 330));
  WriteFile(dir / "alone" / "same.WAV", ToneWav(3.0, 330));
  ASSERT_EQ(Cli("encode alone/same.WAV", out, err), 0) << err;
  for (const std::string force : {"", "--force "}) {
    SCOPED_TRACE(force);
    fs::remove(dir / "together" / "same.mp3");
    fs::remove(dir / "together" / "same (2).mp3");
    ASSERT_EQ(Cli("encode " + force + "together/same.wav together/same.WAV", out, err), 0) << err;
    EXPECT_THAT(err, HasSubstr("written as together/same (2).mp3"));
    EXPECT_EQ(testsupport::ReadFile(dir / "together" / "same.mp3"),
              testsupport::ReadFile(dir / "alone" / "one.mp3"));
    EXPECT_EQ(testsupport::ReadFile(dir / "together" / "same (2).mp3"),
              testsupport::ReadFile(dir / "alone" / "same.mp3"));
  }
}

// Every worker stops at its next chunk: no output is complete, no file starts afterwards, and
// no complete MP3 the user had is replaced by a part. SIGTERM and SIGHUP stop as Ctrl-C does.
TEST_F(EncodeCommand, CtrlCStopsEveryFileAtItsNextChunk) {
  const std::vector<fs::path> inputs = {dir / "a.wav", dir / "b.wav", dir / "c.wav"};
  constexpr double kSeconds = 60.0;
  for (const fs::path& input : inputs) WriteFile(input, ToneWav(kSeconds, 440));
  const auto log = dir / "output.txt";
  const testsupport::Bytes complete = testsupport::BytesOf("the user's complete file");
  const struct {
    int signal;
    bool existing;  // complete MP3s beside the inputs, replaced with --force
  } cases[] = {{SIGINT, false}, {SIGTERM, true}, {SIGHUP, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.signal);
    for (const fs::path& input : inputs) {
      const fs::path mp3 = fs::path(input).replace_extension(".mp3");
      fs::remove(mp3);
      fs::remove(dir / (mp3.stem().string() + " (part).mp3"));
      if (c.existing) WriteFile(mp3, complete);
    }
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
      const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
      execl(kCli.c_str(), kCli.c_str(), "encode", "--force", inputs[0].c_str(), inputs[1].c_str(),
            inputs[2].c_str(), nullptr);
      _exit(127);
    }
    // The first chunk's output shows that the run is under way (and the signal caught).
    int status = 0;
    bool exited = false;
    // The output grows under a temporary name beside its place.
    const auto written = [&] {
      std::error_code error;
      for (const auto& entry : fs::directory_iterator(dir.path(), error)) {
        const auto size = fs::file_size(entry.path(), error);
        if (entry.path().extension() == ".tmp" && !error && size > 0) return true;
      }
      return false;
    };
    while (!(exited = waitpid(child, &status, WNOHANG) == child) && !written()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!exited) {
      kill(child, c.signal);
      ASSERT_EQ(waitpid(child, &status, 0), child);
    }

    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string said = clitest::ReadText(log);
    EXPECT_THAT(said, testing::EndsWith("Encoding Cancelled !\n"));
    // 128 kbit/s: a complete output holds 16,000 bytes a second.
    const auto full = static_cast<std::uintmax_t>(kSeconds * 16000);
    for (const fs::path& input : inputs) {
      SCOPED_TRACE(input.string());
      const fs::path mp3 = fs::path(input).replace_extension(".mp3");
      const fs::path part = dir / (input.stem().string() + " (part).mp3");
      if (c.existing) {
        EXPECT_EQ(testsupport::ReadFile(mp3), complete);
      }
      std::error_code error;
      const auto size = fs::file_size(c.existing ? part : mp3, error);
      if (!error) {
        EXPECT_LT(size, full * 9 / 10);
      }
      // The run says where each part went.
      if (!error && c.existing) {
        EXPECT_THAT(said, HasSubstr(part.string()));
      }
    }
    EXPECT_TRUE(fs::exists(c.existing ? dir / "a (part).mp3" : dir / "a.mp3"));
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
    }
  }
}

}  // namespace

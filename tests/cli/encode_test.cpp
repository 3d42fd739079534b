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

using testsupport::Quote;
using testsupport::RunCommand;
using testsupport::ScopedTempDir;
using testsupport::ToneWav;
using testsupport::WriteFile;
namespace fs = std::filesystem;

using clitest::Contains;
using clitest::kCli;

TEST(EncodeCommand, EncodesEachFileAndNamesTheOnesThatFail) {
  const ScopedTempDir dir;
  const auto first = dir / "first.wav";
  const auto missing = dir / "missing.wav";
  const auto second = dir / "second.wav";
  WriteFile(first, ToneWav(0.5, 440));
  WriteFile(second, ToneWav(0.5, 330, 1, 22050));

  std::string output;
  const std::string files = Quote(first) + " " + Quote(missing) + " " + Quote(second);
  EXPECT_EQ(RunCommand(kCli + " encode " + files, &output), 1);
  EXPECT_TRUE(Contains(output, "Encoding failed: " + missing.string())) << output;
  EXPECT_FALSE(Contains(output, "Encoding failed: " + first.string())) << output;
  EXPECT_TRUE(Contains(output, "Encoding Complete !")) << output;
  EXPECT_TRUE(fs::exists(dir / "first.mp3"));
  EXPECT_TRUE(fs::exists(dir / "second.mp3"));

  EXPECT_EQ(RunCommand(kCli + " encode --force " + Quote(first), &output), 0) << output;
  EXPECT_EQ(output, "Encoding Complete !\n");

  // No BladeEnc library is shipped.
  fs::remove(dir / "first.mp3");
  EXPECT_EQ(RunCommand(kCli + " encode --encoder bladeenc " + Quote(first), &output), 1);
  EXPECT_TRUE(Contains(output, "Encoding failed: " + first.string())) << output;
  EXPECT_FALSE(fs::exists(dir / "first.mp3"));
}

TEST(EncodeCommand, CtrlCStopsTheRunAtTheNextChunk) {
  const ScopedTempDir dir;
  const auto longer = dir / "long.wav";
  const auto next = dir / "next.wav";
  WriteFile(longer, ToneWav(90.0, 440));
  WriteFile(next, ToneWav(0.5, 440));
  const auto log = dir / "output.txt";

  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    execl(kCli.c_str(), kCli.c_str(), "encode", longer.c_str(), next.c_str(), nullptr);
    _exit(127);
  }
  // The first chunk's output shows that the run is under way (and Ctrl-C caught).
  const auto partial = dir / "long.mp3";
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
    kill(child, SIGINT);
    ASSERT_EQ(waitpid(child, &status, 0), child);
  }

  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(testsupport::ReadFile(log), testsupport::BytesOf("Encoding Cancelled !\n"));
  EXPECT_TRUE(fs::exists(partial));
  EXPECT_FALSE(fs::exists(dir / "next.mp3"));
}

}  // namespace

#pragma once
// What every test of lyrabinder-cli shares.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/webview/webviewtestutil.h"

namespace clitest {

/// The program under test, from the build tree.
inline const std::string kCli = LB_CLI;

/// A test that makes MP3s with lame and checks them with mpg123 and ffprobe.
struct PeerTest : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(testsupport::Peer("lame", "lame"));
    ASSERT_TRUE(testsupport::Peer("mpg123", "mpg123"));
    ASSERT_TRUE(testsupport::Peer("ffprobe", "ffmpeg"));
  }
};

using webview::testing::ReadText;

/// A temporary folder to run the command line in, with its own TMPDIR ("temp" in it).
class CliTest : public ::testing::Test {
 protected:
  CliTest() { std::filesystem::create_directory(dir / "temp"); }

  // Runs the command line in the folder, bounded in time (a command that blocks fails the
  // test), stdout in `out` and stderr in `err`. `environment` may replace TMPDIR.
  int Cli(const std::string& arguments, std::string& out, std::string& err,
          const std::string& environment = "", const std::string& program = kCli) {
    const auto errors = dir / "stderr.txt";
    const int status = testsupport::RunCommand(
        "(cd " + testsupport::Quote(dir.path()) + " && TMPDIR=" + testsupport::Quote(dir / "temp") +
            " " + environment + " timeout 60 " + program + " " + arguments + " 2>" +
            testsupport::Quote(errors) + ")",
        &out);
    err = ReadText(errors);
    return status;
  }

  // An album of the sources, "Best Of" by "Band" unless `details` say otherwise.
  std::filesystem::path Album(const std::vector<album::testing::Source>& sources,
                              album::AlbumDetails details = {},
                              const std::string& name = "Best_LB.MP3") {
    if (details.albumTitle.empty()) details = {"Best Of", "Band", "2001", "", ""};
    const auto path = dir / name;
    const auto result = album::testing::MakeAlbum(dir, sources, path, details);
    EXPECT_TRUE(result.ok()) << result.error;
    return path;
  }

  testsupport::ScopedTempDir dir;
};

}  // namespace clitest

// The worker pool and the progress lines of `encode`.
#include "cli/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The lines a terminal shows after `text`: printable bytes, '\n', and the two controls the board
// uses, ESC [ n F (to the start of the line n up) and ESC [ J (erase to the end of the screen).
std::vector<std::string> Screen(const std::string& text) {
  static const std::regex kToken("\x1b\\[(\\d*)([FJ])|(\x1b)|\n|[^\x1b\n]+");
  std::vector<std::string> lines(1);
  std::size_t row = 0;
  for (std::sregex_iterator it(text.begin(), text.end(), kToken), end; it != end; ++it) {
    const std::smatch& m = *it;
    if (m[2] == "F") {
      row -= m[1].length() > 0 ? std::stoul(m[1]) : 0;
    } else if (m[2] == "J") {
      lines.resize(row + 1);
      lines[row].clear();
    } else if (m[3].matched) {
      ADD_FAILURE() << "unexpected control " << m.suffix().str().substr(0, 3);
    } else if (m[0] == "\n") {
      if (++row == lines.size()) lines.emplace_back();
    } else {
      lines[row] += m[0];
    }
  }
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

std::string Bar(const std::string& name, int percent) {
  const auto filled = static_cast<std::size_t>(percent * 40 / 100);
  return name + " [" + std::string(filled, '#') + std::string(40 - filled, ' ') + "] " +
         std::to_string(percent) + "%";
}

TEST(RunInParallel, RunsEveryJobOnceOnEveryWorker) {
  for (const unsigned workers : {1u, 2u, 4u}) {
    SCOPED_TRACE(workers);
    std::vector<std::atomic<int>> runs(37);
    cli::RunInParallel(
        runs.size(), workers, [&](std::size_t i) { ++runs[i]; }, [] { return false; });
    for (const auto& count : runs) EXPECT_EQ(count, 1);
  }
}

TEST(RunInParallel, StartsNoJobOnceStopped) {
  std::atomic<int> started{0};
  cli::RunInParallel(
      10, 1, [&](std::size_t) { ++started; }, [&] { return started == 3; });
  EXPECT_EQ(started, 3);
  cli::RunInParallel(
      10, 3, [&](std::size_t) { ADD_FAILURE() << "started after the stop"; }, [] { return true; });
}

TEST(WorkerCount, IsOnePerJobAtMost) {
  EXPECT_EQ(cli::WorkerCount(0), 1u);
  EXPECT_EQ(cli::WorkerCount(1), 1u);
  EXPECT_GE(cli::WorkerCount(64), 1u);
  EXPECT_LE(cli::WorkerCount(2), 2u);
}

TEST(ProgressBoard, KeepsOneLinePerFileWithDoneFilesAbove) {
  std::ostringstream out;
  std::ostringstream errors;
  cli::ProgressBoard board(out, true);
  board.Start(0, "a.wav");
  board.Start(1, "b.wav");
  board.Update(0, 10);
  board.Update(1, 55);
  board.Update(1, 55);
  board.Finish(1);
  board.Start(2, "c.wav");
  board.Finish(2);
  board.Print(out, "Encoding failed: c.wav");
  board.Update(0, 100);
  EXPECT_EQ(Screen(out.str()),
            (std::vector<std::string>{Bar("b.wav", 55), Bar("c.wav", 0), "Encoding failed: c.wav",
                                      Bar("a.wav", 100)}));
  board.Finish(0);
  EXPECT_EQ(Screen(out.str()).back(), Bar("a.wav", 100));
  EXPECT_EQ(Screen(out.str()).size(), 4u);

  // Names that would wrap the line are shortened from the front.
  std::ostringstream longOut;
  cli::ProgressBoard longBoard(longOut, true);
  const std::string name = "/a/very/long/folder/name/for/the/music/track.wav";
  longBoard.Start(0, name);
  EXPECT_EQ(Screen(longOut.str()),
            (std::vector<std::string>{Bar("..." + name.substr(name.size() - 27), 0)}));
}

TEST(ProgressBoard, DrawsNothingButPrintedLinesWhenHidden) {
  std::ostringstream out;
  cli::ProgressBoard board(out, false);
  board.Start(0, "a.wav");
  board.Update(0, 50);
  board.Print(out, "Encoding failed: a.wav");
  board.Finish(0);
  EXPECT_EQ(out.str(), "Encoding failed: a.wav\n");
}

}  // namespace

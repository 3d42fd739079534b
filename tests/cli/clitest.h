#pragma once
// What every test of lyrabinder-cli shares.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/testsupport.h"

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

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace clitest

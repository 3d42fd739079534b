#pragma once
// What every test of lyrabinder-cli shares.

#include <string>

#include "tests/support/testsupport.h"

namespace clitest {

/// The program under test, from the build tree.
inline const std::string kCli = LB_CLI;

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace clitest

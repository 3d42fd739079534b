// Prints the length query's answer for each file: milliseconds, a tab, the path. For the
// benchmark and for checking files by hand.
#include <iostream>

#include "media/mediadevice.h"

int main(int argc, char** argv) {
  auto device = media::CreateMediaDevice();
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    const std::int32_t ms = media::QueryPlayLength(*device, argv[i]);
    std::cout << ms << '\t' << argv[i] << '\n';
    if (ms == 0) status = 1;
  }
  return status;
}

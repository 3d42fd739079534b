// The floor under `lyrabinder-cli play`: the SDL output alone loaded, opened, started and
// closed, as a command-line session does once (bench/all picks SDL's silent driver).
#include <cstddef>
#include <cstdint>

#include "media/audiooutput.h"

int main() {
  auto output = media::CreateSdlOutput();
  if (!output->Open(44100, 2, [](std::int16_t*, std::size_t) { return std::size_t{0}; })) return 1;
  output->SetPaused(false);
  return 0;
}

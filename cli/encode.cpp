#include <unistd.h>

#include <CLI/CLI.hpp>
#include <csignal>
#include <iostream>
#include <string>

#include "cli/commands.h"
#include "wavpress/bridge.h"

namespace cli {
namespace {

constexpr const char* kCompleteMessage = "Encoding Complete !";
constexpr const char* kCancelledMessage = "Encoding Cancelled !";
constexpr int kBarWidth = 40;

volatile std::sig_atomic_t g_interrupted = 0;

// What the progress callback draws; it is a plain C callback, so this lives here.
struct BarState {
  bool shown = false;
  std::string name;
  int lastPercent = -1;
};
BarState g_bar;

extern "C" void OnInterrupt(int) {
  g_interrupted = 1;
}

void DrawBar(int percent) {
  const int filled = percent * kBarWidth / 100;
  std::cout << '\r' << g_bar.name << " [" << std::string(static_cast<std::size_t>(filled), '#')
            << std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') << "] " << percent
            << '%' << std::flush;
  g_bar.lastPercent = percent;
}

// Ctrl-C stops the current file at its next chunk.
std::int32_t OnProgress(std::int32_t percent) {
  if (g_interrupted) return 0;
  if (g_bar.shown && percent != g_bar.lastPercent) DrawBar(percent);
  return 1;
}

// Ctrl-C is caught for the length of a run only.
class InterruptCatcher {
 public:
  InterruptCatcher() {
    g_interrupted = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &m_previous);
  }
  ~InterruptCatcher() { sigaction(SIGINT, &m_previous, nullptr); }
  InterruptCatcher(const InterruptCatcher&) = delete;
  InterruptCatcher& operator=(const InterruptCatcher&) = delete;

 private:
  struct sigaction m_previous {};
};

}  // namespace

void AddEncodeCommand(CLI::App& app, int& exitCode) {
  auto* command =
      app.add_subcommand("encode", "Convert WAV files to 128 kbps MP3 files beside them");
  auto files = std::make_shared<std::vector<std::string>>();
  auto encoder = std::make_shared<std::string>("lame");
  auto force = std::make_shared<bool>(false);
  command->add_flag("--force", *force, "Replace existing MP3 files");
  command->add_option("--encoder", *encoder, "Encoder library")
      ->check(CLI::IsMember({"lame", "bladeenc"}))
      ->capture_default_str();
  command->add_option("WAV", *files, "WAV files")->required();
  command->callback([files, encoder, force, &exitCode] {
    const wavpress::LoadedBridge bridge;
    if (!bridge.IsLoaded()) {
      std::cerr << "Cannot load " << WAVPRESS_LIBRARY_NAME << ": " << bridge.Error() << '\n';
      exitCode = 1;
      return;
    }
    bridge.SetEncoder(*encoder == "bladeenc" ? WAVPRESS_BLADEENC : WAVPRESS_LAME);
    bridge.SetReplaceExisting(*force);
    const InterruptCatcher catcher;
    g_bar.shown = isatty(STDOUT_FILENO) != 0;
    const WavpressProgress progress = &OnProgress;
    bool cancelled = false;
    bool failed = false;
    for (const std::string& file : *files) {
      if (g_interrupted) {
        cancelled = true;
        break;
      }
      g_bar.name = file;
      if (g_bar.shown) DrawBar(0);
      const std::int32_t result = bridge.EncodeMp3(file.c_str(), &progress);
      if (g_bar.shown) std::cout << '\n';
      std::string why;
      const std::int32_t cause = bridge.LastFailure(why);
      if (result == WAVPRESS_STOPPED) {
        // The part encoded so far stays, unless it could not be put in place.
        if (cause != WAVPRESS_NO_FAILURE) std::cerr << why << '\n';
        cancelled = true;
        break;
      }
      if (result != WAVPRESS_OK) {
        std::cerr << "Encoding failed: " << file << ": " << why
                  << (cause == WAVPRESS_OUTPUT_EXISTS ? " (give --force to replace it)" : "")
                  << '\n';
        failed = true;
      }
    }
    std::cout << (cancelled ? kCancelledMessage : kCompleteMessage) << '\n';
    exitCode = cancelled || failed ? 1 : 0;
  });
}

}  // namespace cli

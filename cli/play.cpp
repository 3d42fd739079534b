#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>

#include <sys/ioctl.h>
#include <unistd.h>

#include "album/archive.h"
#include "base/random.h"
#include "base/text.h"
#include "base/timetext.h"
#include "cli/commands.h"
#include "cli/opening.h"
#include "session/playersession.h"

namespace cli {
namespace {

using json = nlohmann::ordered_json;
using Clock = std::chrono::steady_clock;

std::atomic<bool> g_interrupted{false};

void OnPlayInterrupt(int) {
  g_interrupted = true;
}

// The rules switch the progress timer; the loop below runs it.
class LoopTimer final : public player::Timer {
 public:
  void SetEnabled(bool enabled) override { m_on = enabled; }
  bool Enabled() const override { return m_on; }

 private:
  bool m_on = false;
};

class Printer final : public session::PlayerObserver {
 public:
  void PageChanged() override { pageChanged = true; }
  bool pageChanged = false;
};

struct PlayOptions {
  std::string album;
  int track = 1;
  std::int64_t fromMs = 0;
  std::optional<std::int64_t> forMs;
  bool loop = false;
  bool random = false;
  bool json = false;
};

const char* StateName(player::PlayState state) {
  switch (state) {
    case player::PlayState::Playing:
      return "playing";
    case player::PlayState::Paused:
      return "paused";
    case player::PlayState::Stopped:
      break;
  }
  return "stopped";
}

std::string TrackLength(const player::Player& player) {
  return base::FormatSeconds((player.TrackEnd() - player.TrackStart()) / 1000.0);
}

void PrintTrack(const player::Player& player) {
  const int track = player.CurrentTrack();
  std::cout << "Track " << track + 1 << " : "
            << player.Tracks()[static_cast<std::size_t>(track)].title << " (" << TrackLength(player)
            << ")" << std::endl;
}

void PrintPosition(const player::Player& player, std::int32_t position, bool asJson) {
  const int track = player.CurrentTrack();
  if (asJson) {
    const json line = {{"state", StateName(player.State())},
                       {"track", track + 1},
                       {"title", player.Tracks()[static_cast<std::size_t>(track)].title},
                       {"position_ms", position},
                       {"track_start_ms", player.TrackStart()},
                       {"track_end_ms", player.TrackEnd()},
                       {"album_length_ms", player.AlbumLength()}};
    std::cout << line.dump() << std::endl;
    return;
  }
  std::cout << "  " << base::FormatSeconds((position - player.TrackStart()) / 1000.0) << " / "
            << TrackLength(player) << std::endl;
}

// On a terminal: one line, redrawn in place, cut to the terminal's width so that it never
// wraps (a byte is at least one column).
void DrawStatusLine(const player::Player& player, std::int32_t position) {
  const int track = player.CurrentTrack();
  const std::string line = "Track " + std::to_string(track + 1) + " : " +
                           player.Tracks()[static_cast<std::size_t>(track)].title + "  " +
                           base::FormatSeconds((position - player.TrackStart()) / 1000.0) + " / " +
                           TrackLength(player);
  winsize size{};
  const std::size_t columns =
      ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1 ? size.ws_col : 80;
  std::cout << '\r' << base::CutUtf8(line, columns - 1) << "\x1b[K" << std::flush;
}

int Play(const PlayOptions& options) {
  OpenedFile opened;
  if (!OpenForReading(options.album, opened)) return 1;
  std::optional<session::PlayerAlbum> album = session::AlbumOf(options.album, opened.archive);
  if (!album) {
    std::cerr << album::kDamagedMessage << '\n';
    return 1;
  }
  const std::size_t trackCount = album->tracks.size();
  if (options.track < 1 || options.track > static_cast<int>(trackCount)) {
    std::cerr << "--track: the album has tracks 1 to " << trackCount << '\n';
    return 2;
  }
  if (options.forMs && *options.forMs < 0) {
    std::cerr << "--for: give a time of 0 ms or more\n";
    return 2;
  }

  LoopTimer timer;
  Printer printer;
  base::SeedRandomFromClock();
  session::PlayerSession playing(timer);
  const player::Player& player = playing.Rules();
  playing.AddObserver(printer);
  playing.Load(std::move(*album), "");
  playing.SetRandom(options.random);
  playing.SetLoop(options.loop);
  playing.SetWholeAlbum(true);
  playing.SelectTrack(options.track - 1);
  printer.pageChanged = false;
  playing.Play();
  if (playing.Failed()) {
    std::cerr << "cannot play " << options.album << ": " << playing.FailureText() << '\n';
    return 1;
  }
  // The track's length is known once it plays: where the table is wrong, its audio tells.
  const std::int64_t trackLength = player.TrackEnd() - player.TrackStart();
  if (options.fromMs < 0 || options.fromMs >= trackLength) {
    playing.Stop();
    std::cerr << "--from: track " << options.track << " is " << trackLength
              << " ms long; give 0 to " << trackLength - 1 << '\n';
    return 2;
  }
  if (options.fromMs > 0) playing.SeekTo(options.fromMs);
  if (playing.Failed()) {
    std::cerr << "cannot play " << options.album << ": " << playing.FailureText() << '\n';
    return 1;
  }

  std::signal(SIGINT, OnPlayInterrupt);
  std::signal(SIGTERM, OnPlayInterrupt);
  // A terminal gets one status line redrawn in place; a pipe or --json one line a second.
  const bool statusLine = !options.json && isatty(STDOUT_FILENO) == 1;
  const auto printInterval = std::chrono::milliseconds(statusLine ? 200 : 1000);
  const auto started = Clock::now();
  auto nextTick = started + std::chrono::milliseconds(player::kProgressIntervalMs);
  auto nextPrint = started;
  while (!g_interrupted && player.State() == player::PlayState::Playing) {
    const auto now = Clock::now();
    if (options.forMs && now - started >= std::chrono::milliseconds(*options.forMs)) break;
    if (printer.pageChanged) {
      printer.pageChanged = false;
      if (!options.json && !statusLine) PrintTrack(player);
    }
    if (now >= nextPrint) {
      if (statusLine) {
        DrawStatusLine(player, playing.QueryPosition());
      } else {
        PrintPosition(player, playing.QueryPosition(), options.json);
      }
      nextPrint += printInterval;
    }
    if (timer.Enabled() && now >= nextTick) {
      playing.ProgressTick();
      nextTick += std::chrono::milliseconds(player::kProgressIntervalMs);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const std::int32_t position = playing.QueryPosition();
  const bool failed = playing.Failed();
  playing.Stop();
  if (options.json) PrintPosition(player, position, true);
  if (statusLine) std::cout << std::endl;
  if (failed) {
    std::cerr << "playing " << options.album << " stopped: " << playing.FailureText() << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

void AddPlayCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand("play", "Play an album through the album player's rules");
  auto options = std::make_shared<PlayOptions>();
  command->add_option("ALBUM", options->album, "Album file")->required();
  // Ranges are checked against the album, with messages that name it.
  command->add_option("--track", options->track, "Track to start with (1-based)");
  command->add_option("--from", options->fromMs, "Start this many ms into the track");
  command->add_option("--for", options->forMs, "Stop after this many ms");
  command->add_flag("--loop", options->loop, "Start again after the last track");
  command->add_flag("--random", options->random,
                    "Random tracks (as the player's Random box; with --loop without end)");
  command->add_flag("--json", options->json, "One JSON object per line");
  command->callback([options, &exitCode] { exitCode = Play(*options); });
}

}  // namespace cli

#pragma once
// Jobs spread over the cores, and the progress lines of the jobs running at once.

#include <cstddef>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>
#include <vector>

#include "base/fileio.h"

namespace cli {

/// Workers for `jobs` jobs: one per core this process may run on, at most one per job, at least
/// one.
[[nodiscard]] unsigned WorkerCount(std::size_t jobs);

/// While one lives, Ctrl-C, SIGTERM and SIGHUP ask the run to stop at its next chunk instead of
/// ending the program: the jobs look at Requested().
class StopSignals {
 public:
  StopSignals();
  /// True once one of the signals came during the run.
  [[nodiscard]] static bool Requested();

 private:
  base::SignalScope m_scope;
};

/// Calls `job(i)` for every i below `count` on `workers` threads (the calling thread is one of
/// them), each worker taking the next index in order. No job starts once `stopped()` is true;
/// returns when every started job has returned.
void RunInParallel(std::size_t count, unsigned workers, const std::function<void(std::size_t)>& job,
                   const std::function<bool()>& stopped);

/// One bar per running job under the lines of the jobs done, redrawn in place on a terminal.
/// Safe to call from several threads. When not shown, only Print writes.
class ProgressBoard {
 public:
  ProgressBoard(std::ostream& out, bool shown) : m_out(out), m_shown(shown) {}

  /// Adds the bar of job `id`, named `name`, at 0 %.
  void Start(std::size_t id, std::string name);
  /// Sets the bar's percentage; redraws when it changed.
  void Update(std::size_t id, int percent);
  /// Fixes the bar as it stands above the running ones.
  void Finish(std::size_t id);
  /// Writes a line of its own to `stream` (the board's or another going to the same terminal)
  /// without breaking the bars.
  void Print(std::ostream& stream, const std::string& line);

 private:
  struct Bar {
    std::size_t id;
    std::string name;
    int percent;
  };

  void Clear();
  void DrawRunning();
  void DrawBar(const Bar& bar);

  std::ostream& m_out;
  const bool m_shown;
  std::mutex m_mutex;
  std::vector<Bar> m_running;
  std::size_t m_drawn = 0;  // lines of running bars on the screen, above the cursor
};

}  // namespace cli

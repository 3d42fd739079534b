#include "cli/parallel.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <ostream>
#include <thread>

namespace cli {
namespace {

std::atomic<bool> g_stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "must be safe in a signal handler");

extern "C" void OnStopSignal(int) {
  g_stopRequested = true;
}

// The handler, with no stop asked for yet.
base::SignalHandler ArmedStopHandler() {
  g_stopRequested = false;
  return OnStopSignal;
}

constexpr int kBarWidth = 40;
// A bar line must not wrap, or redrawing in place would climb too few lines: with the bar this
// keeps it within 80 columns.
constexpr std::size_t kNameWidth = 30;

std::string ShownName(const std::string& name) {
  if (name.size() <= kNameWidth) return name;
  std::size_t start = name.size() - (kNameWidth - 3);
  while (start < name.size() && (static_cast<unsigned char>(name[start]) & 0xC0) == 0x80) ++start;
  return "..." + name.substr(start);  // from a whole UTF-8 character
}

}  // namespace

StopSignals::StopSignals() : m_scope(ArmedStopHandler()) {}

bool StopSignals::Requested() {
  return g_stopRequested;
}

unsigned WorkerCount(std::size_t jobs) {
  // The CPUs this process may use (taskset, container limits), not every CPU of the machine.
  unsigned cores = 0;
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) cores = static_cast<unsigned>(CPU_COUNT(&set));
  if (cores == 0) cores = std::thread::hardware_concurrency();
  const std::size_t workers = std::min<std::size_t>(std::max(cores, 1u), jobs);
  return static_cast<unsigned>(std::max<std::size_t>(workers, 1));
}

void RunInParallel(std::size_t count, unsigned workers, const std::function<void(std::size_t)>& job,
                   const std::function<bool()>& stopped) {
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (;;) {
      if (stopped()) return;
      const std::size_t index = next.fetch_add(1);
      if (index >= count) return;
      job(index);
    }
  };
  std::vector<std::jthread> threads;
  for (unsigned i = 1; i < workers; ++i) threads.emplace_back(work);
  work();
}

void ProgressBoard::Start(std::size_t id, std::string name) {
  const std::lock_guard lock(m_mutex);
  m_running.push_back({id, std::move(name), 0});
  if (!m_shown) return;
  Clear();
  DrawRunning();
}

void ProgressBoard::Update(std::size_t id, int percent) {
  const std::lock_guard lock(m_mutex);
  const auto bar = std::find_if(m_running.begin(), m_running.end(),
                                [id](const Bar& running) { return running.id == id; });
  if (bar == m_running.end() || bar->percent == percent) return;
  bar->percent = percent;
  if (!m_shown) return;
  Clear();
  DrawRunning();
}

void ProgressBoard::Finish(std::size_t id) {
  const std::lock_guard lock(m_mutex);
  const auto bar = std::find_if(m_running.begin(), m_running.end(),
                                [id](const Bar& running) { return running.id == id; });
  if (bar == m_running.end()) return;
  const Bar done = *bar;
  m_running.erase(bar);
  if (!m_shown) return;
  Clear();
  DrawBar(done);
  DrawRunning();
}

void ProgressBoard::Print(std::ostream& stream, const std::string& line) {
  const std::lock_guard lock(m_mutex);
  if (m_shown) Clear();
  m_out << std::flush;
  stream << line << '\n' << std::flush;
  if (m_shown) DrawRunning();
}

// Back to the first running bar's line and everything below it erased (ANSI: CPL, ED).
void ProgressBoard::Clear() {
  if (m_drawn > 0) m_out << "\x1b[" << m_drawn << 'F';
  m_out << "\x1b[J";
  m_drawn = 0;
}

void ProgressBoard::DrawRunning() {
  for (const Bar& bar : m_running) DrawBar(bar);
  m_drawn = m_running.size();
  m_out << std::flush;
}

void ProgressBoard::DrawBar(const Bar& bar) {
  const int filled = std::clamp(bar.percent, 0, 100) * kBarWidth / 100;
  m_out << ShownName(bar.name) << " [" << std::string(static_cast<std::size_t>(filled), '#')
        << std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') << "] " << bar.percent
        << "%\n";
}

}  // namespace cli

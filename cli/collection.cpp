#include "cli/collection.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <vector>

#include "base/fileio.h"
#include "cli/parallel.h"
#include "collection/conversion.h"
#include "collection/folderjob.h"
#include "collection/folderwalk.h"
#include "collection/trackconversion.h"

namespace cli {
namespace {

using json = nlohmann::ordered_json;
using collection::FolderResult;
using collection::FolderStatus;

class Interrupted final : public collection::JobControl {
 public:
  bool Stopped() override { return StopSignals::Requested(); }
};

// One line for the whole run, redrawn in place on a terminal: folders done of the total, MB
// written, and the folder last started.
class RunLine {
 public:
  explicit RunLine(std::size_t total) : m_total(total), m_shown(isatty(STDERR_FILENO) == 1) {}
  ~RunLine() {
    if (m_shown) std::cerr << "\r\033[K" << std::flush;
  }
  void Started(const std::filesystem::path& folder) {
    const std::lock_guard lock(m_mutex);
    m_current = base::Utf8FromPath(folder.filename());
    Draw();
  }
  void Finished(std::int64_t bytes) {
    const std::lock_guard lock(m_mutex);
    ++m_done;
    m_bytes += bytes;
    Draw();
  }

 private:
  void Draw() {
    if (!m_shown) return;
    char megabytes[32];
    std::snprintf(megabytes, sizeof megabytes, "%.1f", static_cast<double>(m_bytes) / 1e6);
    std::string line = std::to_string(m_done) + "/" + std::to_string(m_total) + " folders, " +
                       megabytes + " MB written  " + m_current;
    if (line.size() > 79) line.resize(79);  // one line: \r must reach its start
    std::cerr << "\r\033[K" << line << std::flush;
  }

  std::mutex m_mutex;
  const std::size_t m_total;
  const bool m_shown;
  std::size_t m_done = 0;
  std::int64_t m_bytes = 0;
  std::string m_current;
};

struct Row {
  std::filesystem::path folder;
  std::filesystem::path album;
  FolderResult result;
};

std::string ConvertedText(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

void PrintTable(const std::vector<Row>& rows) {
  std::size_t counts[4] = {};
  for (const Row& row : rows) {
    ++counts[static_cast<int>(row.result.status)];
    std::cout << collection::FolderStatusName(row.result.status) << '\t'
              << base::Utf8FromPath(row.folder);
    if (row.result.status == FolderStatus::Made) {
      std::cout << " -> " << base::Utf8FromPath(row.album) << " (" << row.result.tracks
                << " tracks";
      if (!row.result.converted.empty()) {
        std::cout << "; converted: " << ConvertedText(row.result.converted);
      }
      std::cout << ')';
    }
    if (!row.result.reason.empty()) std::cout << ": " << row.result.reason;
    std::cout << '\n';
  }
  std::cout << counts[0] << " made, " << counts[1] << " skipped, " << counts[2] << " failed";
  if (counts[3] > 0) std::cout << ", " << counts[3] << " stopped";
  std::cout << '\n';
}

void PrintJson(const std::vector<Row>& rows) {
  json all = json::array();
  for (const Row& row : rows) {
    all.push_back(
        {{"folder", base::Utf8FromPath(row.folder)},
         {"album", row.album.empty() ? json(nullptr) : json(base::Utf8FromPath(row.album))},
         {"status", collection::FolderStatusName(row.result.status)},
         {"reason", row.result.reason},
         {"tracks", row.result.tracks},
         {"converted", row.result.converted}});
  }
  std::cout << all.dump(2, ' ', false, json::error_handler_t::replace) << '\n';
}

}  // namespace

int RunCollection(const CollectionOptions& options) {
  std::error_code error;
  const std::filesystem::path root =
      std::filesystem::absolute(base::PathFromUtf8(options.root), error).lexically_normal();
  if (!std::filesystem::is_directory(root, error)) {
    std::cerr << "Cannot read folder " << options.root << ": "
              << (error ? error.message() : "not a folder") << '\n';
    return 1;
  }
  std::filesystem::path out;
  if (!options.out.empty()) {
    out = std::filesystem::absolute(base::PathFromUtf8(options.out), error).lexically_normal();
    std::filesystem::create_directories(out, error);
    if (error || !std::filesystem::is_directory(out, error)) {
      std::cerr << "Cannot make folder " << options.out << ": "
                << (error ? error.message() : "not a folder") << '\n';
      return 1;
    }
  }
  std::unique_ptr<collection::LameLibrary> encoder;
  if (options.convert) {
    std::string message;
    encoder = collection::LoadTrackEncoder(message);
    if (!encoder) {
      std::cerr << message << '\n';
      return 1;
    }
  }

  const collection::FolderWalk walk = collection::FindTrackFolders(root);
  const std::vector<collection::FolderPlan> plans = collection::PlanFolders(walk.folders, out);
  std::vector<Row> rows(plans.size());
  const StopSignals stopSignals;
  Interrupted control;
  for (std::size_t i = 0; i < plans.size(); ++i) {
    rows[i] = {plans[i].folder, plans[i].album, {FolderStatus::Stopped, "not started"}};
  }
  const unsigned workers = options.jobs > 0 ? options.jobs : WorkerCount(plans.size());
  {
    RunLine line(plans.size());  // gone before the table is printed
    RunInParallel(
        plans.size(), workers,
        [&](std::size_t i) {
          line.Started(plans[i].folder);
          rows[i].result = collection::RunFolderJob({plans[i], options.convert, options.force},
                                                    encoder.get(), control);
          line.Finished(rows[i].result.bytes);
        },
        [] { return StopSignals::Requested(); });
  }
  for (const auto& unreadable : walk.unreadable) {
    rows.push_back(
        {unreadable.folder, {}, {FolderStatus::Failed, "Cannot read folder: " + unreadable.error}});
  }
  bool allGood = true;
  for (const Row& row : rows) {
    // A stopped job is not shown as made: its album was not kept.
    allGood &=
        row.result.status == FolderStatus::Made || row.result.status == FolderStatus::Skipped;
  }
  options.json ? PrintJson(rows) : PrintTable(rows);
  return allGood ? 0 : 1;
}

}  // namespace cli

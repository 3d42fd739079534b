#include "session/encodingrun.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <numeric>
#include <utility>

#include "base/fileio.h"
#include "session/mp3encoder.h"
#include "wavpress/outputname.h"
#include "wavpress/wavpress.h"

namespace session {
namespace {

// Where the run puts the MP3 of `input`: its usual name, unless a file of the same run wrote
// that already (`written`); then the first free "NAME (2).mp3" beside it, so that two outputs
// of one run never replace each other ("a.wav" and "a.WAV").
std::filesystem::path RunOutputFor(const std::string& input,
                                   const std::vector<std::filesystem::path>& written) {
  const std::filesystem::path usual = base::PathFromUtf8(wavpress::Mp3PathFor(input));
  const auto clash = [&](const std::filesystem::path& path) {
    return std::any_of(written.begin(), written.end(), [&](const auto& earlier) {
      return earlier == path || base::SameFile(earlier, path);
    });
  };
  if (!clash(usual)) return usual;
  return base::FreePath(usual.parent_path(), base::Utf8FromPath(usual.filename()), 2, clash);
}

std::string WrittenAsNote(const std::string& input, const std::filesystem::path& output) {
  return input + ": " + wavpress::Mp3PathFor(input) +
         " was written from another file of this run; written as " + base::Utf8FromPath(output);
}

// Files whose outputs could be the same file ("a.wav" and "a.WAV" both make "a.mp3") must not be
// encoded at once. The key errs on the safe side: the folder and the name up to its first dot.
std::string OutputClashKey(const std::string& file) {
  const std::filesystem::path path = base::PathFromUtf8(file);
  std::error_code error;
  std::filesystem::path folder = std::filesystem::weakly_canonical(
      path.has_parent_path() ? path.parent_path() : std::filesystem::path("."), error);
  if (error) folder = path.parent_path();
  const std::string name = base::Utf8FromPath(path.filename());
  return base::Utf8FromPath(folder) + '/' + name.substr(0, name.find('.'));
}

// Indexes of `files` in groups that may run at once; each group in the given order.
std::vector<std::vector<std::size_t>> ClashFreeGroups(const std::vector<std::string>& files) {
  std::vector<std::vector<std::size_t>> groups;
  std::map<std::string, std::size_t> groupOfKey;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto [found, added] = groupOfKey.emplace(OutputClashKey(files[i]), groups.size());
    if (added) groups.emplace_back();
    groups[found->second].push_back(i);
  }
  return groups;
}

}  // namespace

bool EncodingRunResult::Stopped() const {
  return std::any_of(files.begin(), files.end(), [](const EncodedFile& file) {
    return file.status == FileStatus::Stopped || file.status == FileStatus::NotStarted;
  });
}

bool EncodingRunResult::AnyFailed() const {
  return std::any_of(files.begin(), files.end(),
                     [](const EncodedFile& file) { return file.status == FileStatus::Failed; });
}

std::string_view EncodingRunResult::EndMessage() const {
  return Stopped() ? kEncodingCancelledMessage : kEncodingCompleteMessage;
}

std::string EncodingRunResult::Report() const {
  std::string report(EndMessage());
  for (const bool stopped : {true, false}) {
    for (const EncodedFile& file : files) {
      if ((file.status == FileStatus::Stopped) == stopped && !file.note.empty()) {
        report += '\n' + file.note;
      }
    }
  }
  return report;
}

EncodingRun::EncodingRun(Mp3Encoder& encoder, EncodingRunInput input)
    : m_encoder(encoder), m_input(std::move(input)) {}

void EncodingRun::Stop() {
  {
    const std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_all();
}

bool EncodingRun::StopAsked(EncodingObserver& observer) {
  if (!m_stop && observer.StopRequested()) Stop();
  return m_stop;
}

void EncodingRun::Pause() {
  if (m_input.pauseMs <= 0) return;
  std::unique_lock lock(m_mutex);
  m_wake.wait_for(lock, std::chrono::milliseconds(m_input.pauseMs),
                  [this] { return m_stop.load(); });
}

EncodingRunResult EncodingRun::Run(EncodingObserver& observer, EncodingQuestions* questions) {
  EncodingRunResult result;
  result.files.resize(m_input.files.size());
  for (std::size_t i = 0; i < result.files.size(); ++i) result.files[i].index = i;
  m_encoder.SetEncoder(m_input.encoder);
  if (!m_input.runner) {
    std::vector<std::size_t> all(m_input.files.size());
    std::iota(all.begin(), all.end(), std::size_t{0});
    EncodeGroup(all, observer, questions, result);
    return result;
  }
  const auto groups = ClashFreeGroups(m_input.files);
  m_input.runner(
      groups.size(),
      [&](std::size_t group) { EncodeGroup(groups[group], observer, questions, result); },
      [&] { return StopAsked(observer); });
  return result;
}

void EncodingRun::EncodeGroup(const std::vector<std::size_t>& group, EncodingObserver& observer,
                              EncodingQuestions* questions, EncodingRunResult& result) {
  // Outputs this group wrote: a later input never replaces one of them.
  std::vector<std::filesystem::path> written;
  for (const std::size_t i : group) {
    if (StopAsked(observer)) return;
    const std::string& input = m_input.files[i];
    EncodedFile& file = result.files[i];
    file.output = RunOutputFor(input, written);
    const bool renamed = file.output != base::PathFromUtf8(wavpress::Mp3PathFor(input));
    bool replace = m_input.replace == ReplaceRule::Always;
    if (m_input.replace == ReplaceRule::Ask) {
      // An input that would be its own output is never offered for replacing: the bridge
      // refuses it and says why. A file of this run is never replaced: the output took a free
      // name.
      replace = !renamed && base::NameTaken(file.output) &&
                !base::SameFile(base::PathFromUtf8(input), file.output);
      if (replace && !(questions && questions->ReplaceExisting(wavpress::Mp3PathFor(input)))) {
        file.status = FileStatus::LeftOut;
        continue;
      }
      if (StopAsked(observer)) return;
    }
    observer.FileStarted(i);
    const EncodeOutcome outcome = m_encoder.EncodeMp3(
        input, replace,
        [&](int percent, int) {
          if (observer.FileProgress(i, percent) && !m_stop) return true;
          Stop();
          return false;
        },
        renamed ? file.output : std::filesystem::path());
    file.cause = outcome.cause;
    if (outcome.result == WAVPRESS_OK) {
      file.status = FileStatus::Encoded;
      written.push_back(file.output);
      if (renamed) file.note = WrittenAsNote(input, file.output);
    } else if (outcome.result == WAVPRESS_STOPPED) {
      file.status = FileStatus::Stopped;
      file.note = outcome.note;
    } else {
      file.status = FileStatus::Failed;
      file.note = std::string(kEncodingFailed) + outcome.note;
    }
    observer.FileEnded(file);
    if (file.status == FileStatus::Stopped) return;
    Pause();
  }
}

}  // namespace session

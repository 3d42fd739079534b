#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "album/albumwriter.h"
#include "album/archive.h"
#include "base/fileio.h"
#include "cli/collection.h"
#include "cli/commands.h"
#include "collection/conversion.h"
#include "collection/trackconversion.h"
#include "compose/contentslist.h"
#include "compose/tracktable.h"
#include "media/mediadevice.h"
#include "session/albumcreation.h"

namespace cli {
namespace {

struct CreateOptions {
  std::string output;
  std::string title, artist, year, tracks;
  bool incomplete = false;
  bool force = false;
  std::vector<int> fixTitles;
  std::string folder;
  std::vector<std::string> items;
  bool convert = false;
  CollectionOptions each;
  // Which details were given (an empty one given counts as given).
  CLI::Option* titleOption = nullptr;
  CLI::Option* artistOption = nullptr;
  CLI::Option* yearOption = nullptr;
  CLI::Option* tracksOption = nullptr;
  CLI::Option* folderOption = nullptr;
  CLI::Option* eachOption = nullptr;
};

// A progress line on a terminal only; redrawn in place and wiped when done.
class ProgressLine {
 public:
  ProgressLine() : m_shown(isatty(STDERR_FILENO) == 1) {}
  ~ProgressLine() { Clear(); }
  void Show(std::string_view label, int value, int maximum) {
    if (!m_shown) return;
    std::cerr << '\r' << label << ' ' << value << '/' << maximum << std::flush;
    m_dirty = true;
  }
  void Clear() {
    if (!m_dirty) return;
    std::cerr << "\r\033[K" << std::flush;
    m_dirty = false;
  }

 private:
  bool m_shown;
  bool m_dirty = false;
};

void PrintMessage(std::string_view message) {
  if (!message.empty()) std::cerr << message << '\n';
}

// Where the album goes: a chosen name through the "_LB.MP3" rule, a chosen folder or the
// current one with the proposed name.
std::filesystem::path OutputPath(const CreateOptions& options, const album::AlbumDetails& details) {
  const std::string proposed =
      compose::ProposedAlbumFileNameOnDisk(details.artist, details.albumTitle);
  if (options.output.empty()) return base::PathFromUtf8(compose::AlbumOutputName(proposed));
  std::error_code ec;
  if (std::filesystem::is_directory(base::PathFromUtf8(options.output), ec)) {
    return base::PathFromUtf8(options.output) / base::PathFromUtf8(proposed);
  }
  return base::PathFromUtf8(compose::AlbumOutputName(options.output));
}

// Gathers the list as the contents window would; false when nothing can be made of it.
bool BuildList(const CreateOptions& options, compose::ContentsList& list) {
  if (options.folderOption->count() > 0) {
    const compose::AddResult added = list.AddFolder(options.folder, compose::FileSystemLister());
    if (added.refused) {
      std::cerr << "Cannot read folder " << options.folder << ": " << added.error << '\n';
      return false;
    }
    PrintMessage(added.message);
    return true;
  }
  // Named items are taken like a drop: one that cannot go into an album refuses them all.
  for (const std::string& item : options.items) {
    if (!compose::IsAcceptablePath(item)) {
      std::cerr << "Not an MP3, TXT, JPG or GIF file, or an album file: " << item << '\n';
      return false;
    }
  }
  for (const std::string& item : options.items) PrintMessage(list.AddFile(item).message);
  return true;
}

// Replaces the tracks the quality check would refuse by converted copies in `work`.
bool ConvertRefused(compose::ContentsList& list, std::unique_ptr<collection::WorkFolder>& work) {
  collection::TrackConversion converted = collection::ConvertRefusedTracks(list.Entries(), {});
  for (const std::string& line : converted.lines) std::cerr << line << '\n';
  if (!converted.ok()) return false;
  work = std::move(converted.work);
  list.Clear();
  for (const std::string& entry : converted.entries) (void)list.AddFile(entry);
  return true;
}

int RunCreate(const CreateOptions& options) {
  compose::ContentsList list;
  if (!BuildList(options, list)) return 1;
  // An empty list cannot satisfy the order rules; their message says what is missing.
  if (list.Empty()) {
    PrintMessage(compose::OrderErrorMessage(compose::OrderError::NoMusic));
    return 1;
  }
  const auto unreadable = compose::FindUnreadable(list.Entries());
  for (const compose::UnreadableEntry& entry : unreadable) {
    std::cerr << "Cannot open " << list.Entries()[entry.index] << ": " << entry.error << '\n';
  }
  if (!unreadable.empty()) return 1;

  // Converted tracks live in the work folder until the album is written.
  std::unique_ptr<collection::WorkFolder> work;
  if (options.convert && !ConvertRefused(list, work)) return 1;

  // Answers from the options and prints what the creation does.
  class Answers final : public session::CreationFrontEnd {
   public:
    explicit Answers(const CreateOptions& options) : m_options(options) {}
    std::optional<album::AlbumDetails> Details(const compose::PreparedAlbum& prepared,
                                               std::vector<bool>& ticked) override {
      m_progress.Clear();
      album::AlbumDetails details;
      const CreateOptions& o = m_options;
      details.albumTitle = o.titleOption->count() ? o.title : prepared.proposal.albumTitle;
      details.artist = o.artistOption->count() ? o.artist : prepared.proposal.artist;
      details.year = o.yearOption->count() ? o.year : prepared.proposal.year;
      details.completeness = o.incomplete ? compose::kIncomplete : compose::kComplete;
      details.tracks = o.tracksOption->count() ? o.tracks : prepared.tracks;
      for (const int line : o.fixTitles) {
        if (line < 0 || static_cast<std::size_t>(line) >= ticked.size()) {
          std::cerr << "No track line " << line << ": the album has " << ticked.size()
                    << " tracks (lines 0 to " << ticked.size() - 1 << ").\n";
          badUsage = true;
          return std::nullopt;
        }
        ticked[static_cast<std::size_t>(line)] = true;
      }
      return details;
    }
    std::filesystem::path Output(const album::AlbumDetails& details) override {
      return OutputPath(m_options, details);
    }
    bool ReplaceExisting(const std::filesystem::path& output) override {
      if (m_options.force) return true;
      // A symlink counts as there even where it leads nowhere: the final rename keeps it too.
      std::error_code ec;
      const bool dangling =
          std::filesystem::is_symlink(output, ec) && !std::filesystem::exists(output, ec);
      std::cerr << base::Utf8FromPath(output)
                << (dangling ? " exists (a symlink to a missing file)" : " exists")
                << "; give --force to replace it.\n";
      return false;
    }
    bool Progress(session::CreationStep step, int done, int total) override {
      m_progress.Show(step == session::CreationStep::Writing ? "Writing album" : "Reading tracks",
                      done, total);
      return true;
    }
    void Done() { m_progress.Clear(); }
    bool badUsage = false;

   private:
    const CreateOptions& m_options;
    ProgressLine m_progress;
  } answers(options);

  auto device = media::CreateMediaDevice();
  const session::CreationResult created = session::CreateAlbum(list, *device, answers);
  answers.Done();
  for (const std::string& warning : created.warnings) {
    std::cerr << "Left out of the album: " << warning << '\n';
  }
  if (created.status == session::CreationStatus::Refused) {
    bool convertible = false;
    for (const compose::Rejection& rejection : created.verdict.quality.rejections) {
      PrintMessage(list.Entries()[rejection.index]);
      convertible |= rejection.status != mp3header::AnalyseStatus::CannotOpen;
    }
    PrintMessage(created.message);
    if (convertible && !options.convert) {
      PrintMessage("Give --convert to convert such tracks to 128 kbps constant bitrate.");
    }
    return 1;
  }
  if (answers.badUsage) return 2;
  if (!created.ok()) {
    PrintMessage(created.message);
    return 1;
  }
  PrintMessage(created.message);
  std::cout << base::Utf8FromPath(created.output) << '\n';
  // An album that lacks a picture or lyrics file that was asked for is not a success.
  return created.warnings.empty() ? 0 : 1;
}

}  // namespace

void AddCreateCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand("create", "Make an album from MP3s, lyrics and pictures");
  auto options = std::make_shared<CreateOptions>();
  auto* outputOption = command->add_option(
      "-o,--output", options->output, "Album file (\" _LB.MP3\" appended when missing) or folder");
  options->titleOption = command->add_option("--title", options->title, "Album title");
  options->artistOption = command->add_option("--artist", options->artist, "Artist");
  options->yearOption = command->add_option("--year", options->year, "Year");
  command->add_flag("--incomplete", options->incomplete, "Mark the album \"Incomplete!\"");
  options->tracksOption =
      command->add_option("--tracks", options->tracks, "Tracks value of the tag");
  auto* fixTitleOption =
      command
          ->add_option("--fix-title", options->fixTitles,
                       "Tick track line K (0-based): its title is the part after \"   -   \"")
          ->expected(1)
          ->allow_extra_args(false)
          ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  command->add_flag("--force", options->force, "Replace an existing album file");
  command->add_flag("--convert", options->convert,
                    "Convert tracks that are not 128 kbps constant bitrate");
  options->eachOption = command->add_option("--each", options->each.root,
                                            "Make an album of every folder of tracks under ROOT");
  command->add_option("--out", options->each.out, "With --each: the folder for the albums")
      ->needs(options->eachOption);
  command->add_option("--jobs", options->each.jobs, "With --each: folders at once (default: cores)")
      ->needs(options->eachOption)
      ->check(CLI::PositiveNumber);
  command->add_flag("--json", options->each.json, "With --each: print one record per folder")
      ->needs(options->eachOption);
  options->folderOption =
      command->add_option("--folder", options->folder, "Take the contents of a folder");
  auto* items = command->add_option("ITEM", options->items, "MP3, TXT, JPG or GIF files in order");
  options->folderOption->excludes(items);
  for (CLI::Option* single :
       {options->folderOption, items, outputOption, options->titleOption, options->artistOption,
        options->yearOption, options->tracksOption, fixTitleOption}) {
    options->eachOption->excludes(single);
  }
  command->callback([options, &exitCode] {
    if (options->eachOption->count() > 0) {
      options->each.convert = options->convert;
      options->each.force = options->force;
      exitCode = RunCollection(options->each);
      return;
    }
    if (options->folderOption->count() == 0 && options->items.empty()) {
      std::cerr << "Give the items, or --folder DIR, or --each ROOT.\n";
      exitCode = 2;
      return;
    }
    exitCode = RunCreate(*options);
  });
}

}  // namespace cli

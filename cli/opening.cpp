#include "cli/opening.h"

#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>

#include <iostream>

#include "album/albumreader.h"
#include "base/fileio.h"
#include "platform/system/folders.h"

extern char** environ;

namespace cli {

std::string ProgramDataFolder() {
  return base::Utf8FromPath(platform::ProgramDataFolder(platform::ProgramFolder()));
}

bool RunProgram(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string TerminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto octal = [&out](unsigned value) {
    const char digits[] = {'\\', static_cast<char>('0' + ((value >> 6) & 7)),
                           static_cast<char>('0' + ((value >> 3) & 7)),
                           static_cast<char>('0' + (value & 7))};
    out.append(digits, sizeof digits);
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '\\':
        out += "\\\\";
        continue;
      case '\a':
        out += "\\a";
        continue;
      case '\b':
        out += "\\b";
        continue;
      case '\t':
        out += "\\t";
        continue;
      case '\n':
        out += "\\n";
        continue;
      case '\v':
        out += "\\v";
        continue;
      case '\f':
        out += "\\f";
        continue;
      case '\r':
        out += "\\r";
        continue;
      default:
        break;
    }
    if (c < 0x20 || c == 0x7F) {
      octal(c);
    } else if (c == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      // C1 controls in UTF-8 (U+0080-U+009F): terminals act on them too.
      octal(c);
      octal(static_cast<unsigned char>(text[++i]));
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

void KeepPictureMemory() {
  // A picture and its decoded image come from the heap, not from mappings of their own, and a
  // freed one stays in it up to a few pictures' worth.
  (void)mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
  (void)mallopt(M_TRIM_THRESHOLD, 8 * 1024 * 1024);
}

std::unique_ptr<base::FileSource> OpenSource(const std::string& path) {
  std::string error;
  auto source = base::FileSource::Open(base::PathFromUtf8(path), error);
  if (!source) std::cerr << "Cannot open " << TerminalText(path) << ": " << error << '\n';
  return source;
}

bool OpenForReading(const std::string& path, OpenedFile& opened) {
  album::Archive& archive = opened.archive;
  archive = album::OpenArchive(base::PathFromUtf8(path), {});
  if (archive.status == album::OpenStatus::CannotOpen) {
    std::cerr << "Cannot open " << TerminalText(path) << ": " << archive.error << '\n';
    return false;
  }
  if (!archive.ok()) {
    std::cerr << album::kDamagedMessage << '\n';
    return false;
  }
  return true;
}

AlbumCue WriteAlbumCue(const std::string& path, const webview::ReplaceQuestion& confirmReplace) {
  AlbumCue cue;
  auto source = base::FileSource::Open(base::PathFromUtf8(path), cue.error);
  if (!source) {
    cue.opening = CueOpening::CannotOpen;
    return cue;
  }
  const album::AlbumContents album = album::OpenAlbum(*source, album::TagWriter{});
  if (!album.ok()) {
    cue.opening = CueOpening::Damaged;
    return cue;
  }
  const album::ShownDetails& shown = album.details;
  const webview::CueInput input =
      webview::CueInputFor(path, {shown.title, shown.artist, shown.year}, album.tracks);
  cue.result = webview::WriteCueSheet(path, input, confirmReplace);
  return cue;
}

}  // namespace cli

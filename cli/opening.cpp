#include "cli/opening.h"

#include <spawn.h>
#include <sys/wait.h>

#include <iostream>

#include "album/fileio.h"
#include "webview/helpers.h"

extern char** environ;

namespace cli {

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path(ec) : exe.parent_path();
}

std::string ProgramDataFolder() {
  return album::Utf8FromPath(webview::ProgramDataFolder(ProgramFolder()));
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

std::unique_ptr<album::FileSource> OpenSource(const std::string& path) {
  std::string error;
  auto source = album::FileSource::Open(album::PathFromUtf8(path), error);
  if (!source) std::cerr << "Cannot open " << path << ": " << error << '\n';
  return source;
}

bool OpenForReading(const std::string& path, OpenedFile& opened) {
  std::string error;
  const album::OpenStatus status =
      album::OpenArchive(album::PathFromUtf8(path), opened.shown, {}, opened.archive, error);
  if (status == album::OpenStatus::CannotOpen) {
    std::cerr << "Cannot open " << path << ": " << error << '\n';
    return false;
  }
  if (status != album::OpenStatus::Ok) {
    std::cerr << album::kDamagedMessage << '\n';
    return false;
  }
  return true;
}

}  // namespace cli

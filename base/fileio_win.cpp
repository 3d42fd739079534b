// The file operations that differ between systems: Windows.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "base/fileio.h"

namespace base {

FileHandle OpenRegularFile(const std::filesystem::path& path, std::string& error) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (!ec && std::filesystem::is_directory(status)) {
    error = std::strerror(EISDIR);
    return nullptr;
  }
  if (!ec && !std::filesystem::is_regular_file(status)) {
    error = std::string(kNotRegularFile);
    return nullptr;
  }
  return OpenFile(path, "rb", error);
}

FileHandle CreateNewFile(const std::filesystem::path& path, std::string& error) {
  const int fd =
      ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) {
    error = LastErrorText();
    return nullptr;
  }
  FileHandle file(::_fdopen(fd, "wb"));
  if (!file) {
    error = LastErrorText();
    ::_close(fd);
    ::_wunlink(path.c_str());
  }
  return file;
}

bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                     bool& exists, std::string& error) {
  exists = false;
  // Without MOVEFILE_REPLACE_EXISTING an existing target makes the move fail.
  if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
  const DWORD code = ::GetLastError();
  exists = code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS;
  error = exists ? std::strerror(EEXIST) : std::system_category().message(static_cast<int>(code));
  return false;
}

// No signal handler removes files here; stale temporary files go when the folder is next used.
int RememberTemporaryFile(const std::filesystem::path&) {
  return -1;
}

void ForgetTemporaryFile(int) {}

SignalScope::SignalScope(SignalHandler) {}
SignalScope::~SignalScope() = default;

RemoveTemporaryFilesOnSignals::RemoveTemporaryFilesOnSignals() : m_scope(nullptr) {}

std::size_t RemoveStaleTemporaryFiles(const std::filesystem::path& folder) {
  std::error_code ec;
  const auto before = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24);
  std::size_t removed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, ec)) {
    if (!IsTemporaryName(Utf8FromPath(entry.path().filename())) || !entry.is_regular_file(ec) ||
        entry.is_symlink(ec) || entry.last_write_time(ec) >= before) {
      continue;
    }
    if (std::filesystem::remove(entry.path(), ec)) ++removed;
  }
  return removed;
}

bool NameTaken(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

bool MayReplace(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

std::size_t NameLimit(const std::filesystem::path&) {
  return 255;
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec) && !ec;
}

KernelCopy::KernelCopy(std::FILE*, std::int64_t offset, std::int64_t count, std::FILE* to)
    : m_to(to), m_offset(offset), m_count(count) {}

bool KernelCopy::Supported() {
  return false;
}

void KernelCopy::Run() {}

std::int64_t KernelCopy::Finish() {
  return 0;
}

std::int64_t StreamSize(std::FILE* file) {
  struct _stat64 info {};
  if (::_fstat64(::_fileno(file), &info) != 0) return -1;
  return static_cast<std::int64_t>(info.st_size);
}

std::unique_ptr<std::uint8_t[]> ReadBuffer(std::size_t size) {
  return std::unique_ptr<std::uint8_t[]>(new std::uint8_t[size]);
}

}  // namespace base

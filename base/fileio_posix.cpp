// The file operations that differ between systems: POSIX.
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/fileio.h"

#ifdef __linux__
#include <sys/syscall.h>
#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif
#endif

namespace base {

FileHandle OpenRegularFile(const std::filesystem::path& path, std::string& error) {
  // Non-blocking, so that a FIFO without a writer cannot hold the open; the mode is checked
  // on what was opened, not on the name.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = LastErrorText();
    return nullptr;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = S_ISDIR(info.st_mode) ? std::strerror(EISDIR) : std::string(kNotRegularFile);
    ::close(fd);
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    error = LastErrorText();
    ::close(fd);
    return nullptr;
  }
  FileHandle file(::fdopen(fd, "rb"));
  if (!file) {
    error = LastErrorText();
    ::close(fd);
  }
  return file;
}

FileHandle CreateNewFile(const std::filesystem::path& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = LastErrorText();
    return nullptr;
  }
  FileHandle file(::fdopen(fd, "wb"));
  if (!file) {
    error = LastErrorText();
    ::close(fd);
    ::unlink(path.c_str());
  }
  return file;
}

bool RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to,
                     bool& exists, std::string& error) {
  exists = false;
#ifdef __linux__
  if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) ==
      0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) {
    exists = errno == EEXIST;
    error = LastErrorText();
    return false;
  }
#endif
  // File systems without renameat2: a hard link fails on an existing name just as well.
  if (::link(from.c_str(), to.c_str()) != 0) {
    exists = errno == EEXIST;
    error = LastErrorText();
    return false;
  }
  ::unlink(from.c_str());
  return true;
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace base

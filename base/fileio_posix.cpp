// The file operations that differ between systems: POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "base/fileio.h"

#ifdef __linux__
#include <sys/syscall.h>
#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif
#endif

namespace base {
namespace {

constexpr std::time_t kStaleSeconds = 24 * 60 * 60;

// The temporary names of unfinished AtomicFiles, where a signal handler may read them: plain
// bytes, claimed and released through the state alone (no lock, no allocation).
enum SlotState : int { kFree, kClaimed, kLive };
struct TemporarySlot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX] = {};
};
std::array<TemporarySlot, 64> g_slots;
static_assert(std::atomic<int>::is_always_lock_free, "read in a signal handler");

constexpr int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr std::size_t kSignalCount = std::size(kEndSignals);

extern "C" void RemoveTemporaryFilesAndEnd(int signal) {
  for (TemporarySlot& slot : g_slots) {
    if (slot.state.load() == kLive) ::unlink(slot.path);
  }
  // Blocked while this handler runs: the default action ends the program when it returns.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

int RememberTemporaryFile(const std::filesystem::path& temp) {
  const std::string& text = temp.native();
  if (text.size() >= PATH_MAX) return -1;
  for (std::size_t i = 0; i < g_slots.size(); ++i) {
    int expected = kFree;
    if (!g_slots[i].state.compare_exchange_strong(expected, kClaimed)) continue;
    std::memcpy(g_slots[i].path, text.c_str(), text.size() + 1);
    g_slots[i].state.store(kLive);
    return static_cast<int>(i);
  }
  return -1;
}

void ForgetTemporaryFile(int slot) {
  if (slot >= 0 && static_cast<std::size_t>(slot) < g_slots.size()) {
    g_slots[static_cast<std::size_t>(slot)].state.store(kFree);
  }
}

SignalScope::SignalScope(SignalHandler handler) {
  auto* previous = new struct sigaction[kSignalCount]();
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  for (const int signal : kEndSignals) sigaddset(&action.sa_mask, signal);
  for (std::size_t i = 0; i < kSignalCount; ++i) {
    ::sigaction(kEndSignals[i], &action, &previous[i]);
  }
  m_previous = previous;
}

SignalScope::~SignalScope() {
  auto* previous = static_cast<struct sigaction*>(m_previous);
  for (std::size_t i = 0; i < kSignalCount; ++i) {
    ::sigaction(kEndSignals[i], &previous[i], nullptr);
  }
  delete[] previous;
}

RemoveTemporaryFilesOnSignals::RemoveTemporaryFilesOnSignals()
    : m_scope(RemoveTemporaryFilesAndEnd) {}

std::size_t RemoveStaleTemporaryFiles(const std::filesystem::path& folder) {
  DIR* listing = ::opendir(folder.empty() ? "." : folder.c_str());
  if (listing == nullptr) return 0;
  const std::time_t before = std::time(nullptr) - kStaleSeconds;
  std::size_t removed = 0;
  while (const dirent* entry = ::readdir(listing)) {
    if (!IsTemporaryName(entry->d_name)) continue;
    // Only what we could have left: a regular file of ours (never through a link), untouched
    // for a day, so that a run still writing it keeps it.
    struct stat info {};
    if (::fstatat(::dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() || info.st_mtime >= before) {
      continue;
    }
    if (::unlinkat(::dirfd(listing), entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(listing);
  return removed;
}

bool NameTaken(const std::filesystem::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

bool MayReplace(const std::filesystem::path& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || S_ISLNK(info.st_mode)) return true;
  // The superuser may write anything; a file without any write bit was still made read-only.
  if (::geteuid() == 0) return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
  return ::access(path.c_str(), W_OK) == 0;
}

std::size_t NameLimit(const std::filesystem::path& folder) {
  const long limit = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : 255;
}

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

KernelCopy::KernelCopy(std::FILE* from, std::int64_t offset, std::int64_t count, std::FILE* to)
    : m_to(to), m_offset(offset), m_count(count) {
#ifdef __linux__
  if (std::fflush(to) != 0) return;
  const off_t start = ::ftello(to);
  if (start < 0) return;
  m_start = start;
  m_fromDescriptor = ::fileno(from);
  m_toDescriptor = ::fileno(to);
#else
  (void)from;
#endif
}

bool KernelCopy::Supported() {
#ifdef __linux__
  return true;
#else
  return false;
#endif
}

void KernelCopy::Run() {
#ifdef __linux__
  if (m_start < 0) return;
  // Explicit offsets on both sides: neither descriptor's own offset moves under its stream.
  off_t in = static_cast<off_t>(m_offset);
  off_t out = static_cast<off_t>(m_start);
  while (m_done < m_count) {
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(m_count - m_done, 1 << 30));
    const ssize_t got = ::copy_file_range(m_fromDescriptor, &in, m_toDescriptor, &out, want, 0);
    // Another file system, no support, a full disk or a source cut short: read and write go
    // on from here and tell which side failed.
    if (got <= 0) break;
    m_done += got;
  }
#endif
}

std::int64_t KernelCopy::Finish() {
  if (m_done == 0) return 0;
  // Where the stream cannot be moved past the copy, read and write copy it all again.
  if (::fseeko(m_to, static_cast<off_t>(m_start + m_done), SEEK_SET) != 0) return 0;
  return m_done;
}

std::int64_t StreamSize(std::FILE* file) {
  struct stat info {};
  if (::fstat(::fileno(file), &info) != 0) return -1;
  return static_cast<std::int64_t>(info.st_size);
}

std::unique_ptr<std::uint8_t[]> ReadBuffer(std::size_t size) {
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[size]);
#ifdef __linux__
  // A fault costs several microseconds under virtualisation: a 4 MB picture read into fresh
  // memory took 12 ms, against 5 ms with its pages made present at once (Linux 5.14 on; older
  // kernels refuse the advice and the read faults them in as before).
  constexpr int kPopulateWrite = 23;  // MADV_POPULATE_WRITE
  constexpr std::size_t kWorthIt = 1 << 20;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto start = reinterpret_cast<std::uintptr_t>(buffer.get());
  const std::uintptr_t first = (start + page - 1) / page * page;
  const std::uintptr_t end = (start + size) / page * page;
  if (size >= kWorthIt && end > first) {
    (void)::madvise(reinterpret_cast<void*>(first), end - first, kPopulateWrite);
  }
#endif
  return buffer;
}

}  // namespace base

// Web folders on POSIX systems: every level opened relative to the one above, never through a
// symlink, and refused unless it is a folder of this user.
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "webview/webfolder_platform.h"

namespace webview {
namespace {

class Fd {
 public:
  explicit Fd(int fd = -1) : m_fd(fd) {}
  ~Fd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd& operator=(Fd&& other) noexcept {
    std::swap(m_fd, other.m_fd);
    return *this;
  }
  int get() const { return m_fd; }
  int release() { return std::exchange(m_fd, -1); }

 private:
  int m_fd;
};

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::string Reason() {
  return std::strerror(errno);
}

// A level opened without following a symlink, checked to be ours.
bool OpenOwnLevel(int parent, const std::string& name, const std::string& shown, Fd& out,
                  std::string& error) {
  Fd fd(::openat(parent, name.c_str(), kFolderFlags));
  if (fd.get() < 0) {
    error = (errno == ELOOP || errno == ENOTDIR)
                ? shown + " is not a folder (a symlink or a file is in its place)"
                : "cannot open " + shown + ": " + Reason();
    return false;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    error = "cannot open " + shown + ": " + Reason();
    return false;
  }
  if (info.st_uid != ::geteuid()) {
    error = shown + " belongs to another user";
    return false;
  }
  // Ours, and kept private: nobody else may plant links or files in it.
  if ((info.st_mode & 077) != 0 && ::fchmod(fd.get(), 0700) != 0) {
    error = "cannot make " + shown + " private: " + Reason();
    return false;
  }
  out = std::move(fd);
  return true;
}

}  // namespace

std::string UserName() {
  const uid_t uid = ::geteuid();
  if (const passwd* entry = ::getpwuid(uid); entry && entry->pw_name && *entry->pw_name) {
    return entry->pw_name;
  }
  return std::to_string(uid);
}

bool MakeOwnFolders(const std::string& base, const std::vector<std::string>& levels,
                    std::string& error) {
  // The temporary folder itself may be reached through a symlink (as on some systems); the
  // levels below it are ours.
  Fd current(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (current.get() < 0) {
    error = "cannot open " + base + ": " + Reason();
    return false;
  }
  std::string shown = base;
  for (const std::string& level : levels) {
    shown += level;
    if (::mkdirat(current.get(), level.c_str(), 0700) != 0 && errno != EEXIST) {
      error = "cannot create " + shown + ": " + Reason();
      return false;
    }
    Fd next;
    if (!OpenOwnLevel(current.get(), level, shown, next, error)) return false;
    current = std::move(next);
    shown += '/';
  }
  return true;
}

bool RemoveFilesIn(const std::string& folder, const std::function<bool(std::string_view)>& pick,
                   std::string& error) {
  std::string path = folder;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const auto cut = path.find_last_of('/');
  const std::string parentPath = cut == std::string::npos ? "." : path.substr(0, cut + 1);
  const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
  Fd parent(::open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (parent.get() < 0) {
    error = "cannot list " + folder + ": " + Reason();
    return false;
  }
  Fd fd;
  if (!OpenOwnLevel(parent.get(), name, folder, fd, error)) return false;
  const int listFd = ::dup(fd.get());
  DIR* dir = listFd < 0 ? nullptr : ::fdopendir(listFd);
  if (!dir) {
    if (listFd >= 0) ::close(listFd);
    error = "cannot list " + folder + ": " + Reason();
    return false;
  }
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view entryName = entry->d_name;
    if (pick(entryName)) names.emplace_back(entryName);
  }
  ::closedir(dir);
  for (const std::string& file : names) {
    struct stat info {};
    if (::fstatat(fd.get(), file.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(info.st_mode)) continue;
    if (::unlinkat(fd.get(), file.c_str(), 0) != 0 && errno != ENOENT) {
      error = "cannot delete " + folder + file + ": " + Reason();
      return false;
    }
  }
  return true;
}

}  // namespace webview

// Web folders on POSIX systems: every level opened relative to the one above, never through a
// symlink, and refused unless it is a folder of this user; everything inside is done relative
// to the title folder's descriptor.
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>

#include "base/text.h"
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
constexpr std::string_view kTempAdvice = "; set TMPDIR to choose another temporary folder";

std::string Reason() {
  return std::strerror(errno);
}

enum class LevelCheck { Ok, Foreign, Failed };

// A level opened without following a symlink, checked to be ours.
LevelCheck OpenOwnLevel(int parent, const std::string& name, const std::string& shown, Fd& out,
                        std::string& error) {
  Fd fd(::openat(parent, name.c_str(), kFolderFlags));
  if (fd.get() < 0) {
    const bool replaced = errno == ELOOP || errno == ENOTDIR;
    error = replaced ? shown + " is not a folder (a symlink or a file is in its place)"
                     : "cannot open " + shown + ": " + Reason();
    return replaced ? LevelCheck::Foreign : LevelCheck::Failed;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    error = "cannot open " + shown + ": " + Reason();
    return LevelCheck::Failed;
  }
  if (info.st_uid != ::geteuid()) {
    error = shown + " belongs to another user";
    return LevelCheck::Foreign;
  }
  // Ours, and kept private: nobody else may plant links or files in it.
  if ((info.st_mode & 077) != 0 && ::fchmod(fd.get(), 0700) != 0) {
    error = "cannot make " + shown + " private: " + Reason();
    return LevelCheck::Failed;
  }
  out = std::move(fd);
  return LevelCheck::Ok;
}

// The folder the levels go into: another user who owns it, or may write to it without the
// sticky bit, could swap our levels for links of theirs.
bool OpenTrustedBase(const std::string& base, Fd& out, std::string& error) {
  Fd fd(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat info {};
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
    error = "cannot open " + base + ": " + Reason();
    return false;
  }
  if (info.st_uid != ::geteuid() && info.st_uid != 0) {
    error = base + " belongs to another user" + std::string(kTempAdvice);
    return false;
  }
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (info.st_mode & S_ISVTX) == 0) {
    error = "others may write to " + base + " (it has no sticky bit)" + std::string(kTempAdvice);
    return false;
  }
  out = std::move(fd);
  return true;
}

}  // namespace

struct WebFolder::Handle {
  Fd fd;
};

WebFolder::WebFolder(std::string path, std::unique_ptr<Handle> handle)
    : m_path(std::move(path)), m_handle(std::move(handle)) {}

WebFolder::~WebFolder() = default;

std::string UserName() {
  const uid_t uid = ::geteuid();
  if (const passwd* entry = ::getpwuid(uid); entry && entry->pw_name && *entry->pw_name) {
    return entry->pw_name;
  }
  return std::to_string(uid);
}

OwnFolders MakeOwnFolders(const std::string& base, const std::vector<std::string>& levels,
                          std::string& error) {
  OwnFolders made;
  Fd current;
  if (!OpenTrustedBase(base, current, error)) return made;
  std::string shown = base;
  for (std::size_t i = 0; i < levels.size(); ++i) {
    const std::string& level = levels[i];
    shown += level;
    if (::mkdirat(current.get(), level.c_str(), 0700) != 0 && errno != EEXIST) {
      error = "cannot create " + shown + ": " + Reason();
      return made;
    }
    Fd next;
    const LevelCheck check = OpenOwnLevel(current.get(), level, shown, next, error);
    if (check != LevelCheck::Ok) {
      made.rootForeign = i == 0 && check == LevelCheck::Foreign;
      return made;
    }
    current = std::move(next);
    shown += '/';
  }
  // One run at a time writes a folder, so that it always holds one album's whole view.
  while (::flock(current.get(), LOCK_EX) != 0) {
    if (errno != EINTR) {
      error = "cannot lock " + shown + ": " + Reason();
      return made;
    }
  }
  auto handle = std::make_unique<WebFolder::Handle>();
  handle->fd = std::move(current);
  made.folder = std::make_unique<WebFolder>(shown, std::move(handle));
  return made;
}

std::string MakeFreshFolder(const std::string& base, const std::string& prefix,
                            std::string& error) {
  Fd fd;
  if (!OpenTrustedBase(base, fd, error)) return {};
  std::random_device random;
  constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = prefix;
    for (int i = 0; i < 8; ++i) name += kLetters[random() % kLetters.size()];
    if (::mkdirat(fd.get(), name.c_str(), 0700) == 0) return name;
    if (errno != EEXIST) break;
  }
  error = "cannot create a folder in " + base + ": " + Reason();
  return {};
}

std::string RuntimeFolder() {
  const char* value = std::getenv("XDG_RUNTIME_DIR");
  if (!value || *value != '/') return {};
  return base::WithTrailingSeparator(value);
}

std::unique_ptr<WebFolder> WebFolder::OpenExisting(std::string_view path, std::string& error) {
  std::string text(path);
  while (text.size() > 1 && base::IsPathSeparator(text.back())) text.pop_back();
  const std::string name(base::FileNameOf(text));
  const std::string parentPath =
      name.size() == text.size() ? "." : text.substr(0, text.size() - name.size());
  Fd parent(::open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (parent.get() < 0) {
    error = "cannot open " + std::string(path) + ": " + Reason();
    return nullptr;
  }
  auto handle = std::make_unique<Handle>();
  if (OpenOwnLevel(parent.get(), name, std::string(path), handle->fd, error) != LevelCheck::Ok) {
    return nullptr;
  }
  return std::make_unique<WebFolder>(text + '/', std::move(handle));
}

WebFolder::Entry WebFolder::Find(std::string_view name) const {
  struct stat info {};
  if (::fstatat(m_handle->fd.get(), std::string(name).c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
    return Entry::Missing;
  }
  return S_ISREG(info.st_mode) ? Entry::File : Entry::Other;
}

bool WebFolder::RemoveFiles(const std::function<bool(std::string_view)>& pick, std::string& error) {
  const int fd = m_handle->fd.get();
  const int listFd = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = listFd < 0 ? nullptr : ::fdopendir(listFd);
  if (!dir) {
    if (listFd >= 0) ::close(listFd);
    error = "cannot list " + m_path + ": " + Reason();
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
    if (::fstatat(fd, file.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(info.st_mode)) continue;
    if (::unlinkat(fd, file.c_str(), 0) != 0 && errno != ENOENT) {
      error = "cannot delete " + m_path + file + ": " + Reason();
      return false;
    }
  }
  return true;
}

namespace {

constexpr const char* kSourceAttribute = "user.lyrabinder.source";

// The file as written: a file changed since (in place, by another program) loses its source.
std::string WrittenState(int fd) {
  struct stat about {};
  if (::fstat(fd, &about) != 0) return {};
  return '\n' + std::to_string(about.st_size) + ':' + std::to_string(about.st_mtim.tv_sec) + '.' +
         std::to_string(about.st_mtim.tv_nsec);
}

}  // namespace

std::string FileIdentity(std::FILE* file) {
  struct stat about {};
  if (!file || ::fstat(::fileno(file), &about) != 0) return {};
  return std::to_string(about.st_dev) + ':' + std::to_string(about.st_ino) + ':' +
         std::to_string(about.st_size) + ':' + std::to_string(about.st_mtim.tv_sec) + '.' +
         std::to_string(about.st_mtim.tv_nsec);
}

std::string WebFolder::SourceOf(std::string_view name) const {
  const Fd file(::openat(m_handle->fd.get(), std::string(name).c_str(),
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) return {};
  char value[512];
  const ssize_t n = ::fgetxattr(file.get(), kSourceAttribute, value, sizeof value);
  if (n <= 0) return {};
  const std::string_view kept(value, static_cast<std::size_t>(n));
  const std::string state = WrittenState(file.get());
  if (state.empty() || !kept.ends_with(state)) return {};
  return std::string(kept.substr(0, kept.size() - state.size()));
}

bool WebFolder::WriteFile(std::string_view name, std::span<const std::uint8_t> bytes,
                          std::string& error, std::string_view source) {
  const int folder = m_handle->fd.get();
  const std::string target(name);
  const auto failed = [&](int code, const std::string& temp) {
    if (!temp.empty()) ::unlinkat(folder, temp.c_str(), 0);
    error = "cannot write " + m_path + target + ": " + std::strerror(code);
    return false;
  };
  // An exclusive create under a short name that IsWebViewFile knows as unfinished.
  std::random_device random;
  std::string temp;
  Fd file;
  for (int attempt = 0; attempt < 100 && file.get() < 0; ++attempt) {
    temp = ".lb" + std::to_string(random() % 1000000) + ".tmp";
    file = Fd(
        ::openat(folder, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (file.get() < 0 && errno != EEXIST) return failed(errno, {});
  }
  if (file.get() < 0) return failed(EEXIST, {});
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(file.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return failed(n < 0 ? errno : ENOSPC, temp);
    done += static_cast<std::size_t>(n);
  }
  // Best effort: a file system without extended attributes only costs the reuse.
  if (!source.empty()) {
    const std::string value = std::string(source) + WrittenState(file.get());
    (void)::fsetxattr(file.get(), kSourceAttribute, value.data(), value.size(), 0);
  }
  // A delayed write error (a full disk on some file systems) shows at the close.
  if (::close(file.release()) != 0) return failed(errno, temp);
  if (::renameat(folder, temp.c_str(), folder, target.c_str()) != 0) return failed(errno, temp);
  return true;
}

}  // namespace webview

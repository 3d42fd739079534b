#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "base/fileio.h"
#include "platform/system/localsocket.h"

namespace platform {

namespace {

bool AddressOf(const std::filesystem::path& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  const std::string& name = path.native();
  if (name.empty() || name.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, name.data(), name.size());
  return true;
}

int NewSocket() {
  return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

}  // namespace

LocalSocket::LocalSocket(LocalSocket&& other) noexcept : m_fd(other.m_fd) {
  other.m_fd = -1;
}

LocalSocket& LocalSocket::operator=(LocalSocket&& other) noexcept {
  if (this != &other) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = other.m_fd;
    other.m_fd = -1;
  }
  return *this;
}

LocalSocket::~LocalSocket() {
  if (m_fd >= 0) ::close(m_fd);
}

LocalSocket ListenLocal(const std::filesystem::path& path, std::string& error) {
  sockaddr_un address;
  if (!AddressOf(path, address)) {
    error = std::strerror(ENAMETOOLONG);
    return {};
  }
  LocalSocket server(NewSocket());
  if (!server.IsOpen()) {
    error = base::LastErrorText();
    return {};
  }
  // A socket left by a copy that ended without removing it; anything else there stays.
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) ::unlink(path.c_str());
  // Nobody can connect before listen(), so narrowing the mode after bind() leaves no gap.
  if (::bind(server.Descriptor(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
          0 ||
      ::chmod(path.c_str(), S_IRUSR | S_IWUSR) != 0 ||
      ::listen(server.Descriptor(), SOMAXCONN) != 0) {
    error = base::LastErrorText();
    return {};
  }
  return server;
}

LocalSocket AcceptLocal(const LocalSocket& server) {
  int fd;
  do {
    fd = ::accept4(server.Descriptor(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  return LocalSocket(fd);
}

LocalSocket ConnectLocal(const std::filesystem::path& path) {
  sockaddr_un address;
  if (!AddressOf(path, address)) return {};
  LocalSocket socket(NewSocket());
  // A full backlog refuses at once (EAGAIN) rather than blocking: the caller tries again.
  if (!socket.IsOpen() ||
      ::connect(socket.Descriptor(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
          0) {
    return {};
  }
  return socket;
}

ReadStatus ReadAvailable(const LocalSocket& socket, std::string& data, std::size_t limit) {
  char buffer[4096];
  while (data.size() < limit) {
    const std::size_t want = std::min(sizeof buffer, limit - data.size());
    const ssize_t got = ::recv(socket.Descriptor(), buffer, want, 0);
    if (got > 0) {
      data.append(buffer, static_cast<std::size_t>(got));
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) ? ReadStatus::Open
                                                                  : ReadStatus::Ended;
    }
  }
  return ReadStatus::Open;
}

bool SendAll(const LocalSocket& socket, std::string_view data, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!data.empty()) {
    // MSG_NOSIGNAL: a peer that went away is a failure, not SIGPIPE.
    const ssize_t sent = ::send(socket.Descriptor(), data.data(), data.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      data.remove_prefix(static_cast<std::size_t>(sent));
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd watch{socket.Descriptor(), POLLOUT, 0};
    if (left.count() <= 0 || ::poll(&watch, 1, static_cast<int>(left.count())) <= 0) return false;
  }
  return true;
}

}  // namespace platform

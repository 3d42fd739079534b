#pragma once
// Unix-domain stream sockets in the file system, for handing small messages between copies of
// the program run by one user. Non-blocking once open; the caller watches the descriptor.

#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

/// An open socket, closed when destroyed.
class LocalSocket {
 public:
  LocalSocket() = default;
  explicit LocalSocket(int descriptor) : m_fd(descriptor) {}
  LocalSocket(LocalSocket&& other) noexcept;
  LocalSocket& operator=(LocalSocket&& other) noexcept;
  ~LocalSocket();

  /// The descriptor to watch; -1 when closed.
  int Descriptor() const { return m_fd; }
  bool IsOpen() const { return m_fd >= 0; }

 private:
  int m_fd = -1;
};

/// Listens at `path`, which only this user may use; whatever socket was left there is replaced.
/// Closed, with the system's reason in `error`, when that fails.
[[nodiscard]] LocalSocket ListenLocal(const std::filesystem::path& path, std::string& error);

/// The next connection waiting on `server`; closed when none waits.
[[nodiscard]] LocalSocket AcceptLocal(const LocalSocket& server);

/// Connects to the socket at `path`; closed when nothing listens there.
[[nodiscard]] LocalSocket ConnectLocal(const std::filesystem::path& path);

enum class ReadStatus { Open, Ended };

/// Appends what `socket` holds now to `data`, up to `limit` bytes in all. Ended when the peer
/// has closed its end or the socket failed; Open when more may come.
[[nodiscard]] ReadStatus ReadAvailable(const LocalSocket& socket, std::string& data,
                                       std::size_t limit);

/// Writes all of `data`, waiting up to `timeoutMs` for room; false when that fails.
[[nodiscard]] bool SendAll(const LocalSocket& socket, std::string_view data, int timeoutMs);

}  // namespace platform

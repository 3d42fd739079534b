#pragma once
// One running program per user: a lock file in the user's runtime folder, held for the
// program's lifetime. A lock left by a program that ended without releasing it (a crash) is
// taken over. Beside the lock, a local socket takes files from later starts.

#include <QLockFile>
#include <QString>
#include <functional>
#include <memory>

#include "platform/system/localsocket.h"

class QSocketNotifier;

namespace app {

class SingleInstance {
 public:
  /// Tries to take the lock "lyrabinder.lock" in `folder` (the user's runtime folder when
  /// empty). Acquired() is false when another live instance holds it.
  explicit SingleInstance(const QString& folder = QString());
  ~SingleInstance();
  /// True when this instance holds the lock.
  bool Acquired() const { return m_acquired; }
  /// The lock file's path.
  const QString& LockPath() const { return m_path; }

  /// While this instance holds the lock: listens on "lyrabinder.socket" beside it and calls
  /// `open` on the event loop with each file a later start hands over. False when the socket
  /// cannot be made.
  [[nodiscard]] bool Listen(std::function<void(const QString&)> open);

  /// From a later start: hands `file` (made absolute) to the instance listening in `folder`
  /// (the user's runtime folder when empty), waiting up to `timeoutMs` for it to listen.
  /// False when none took it.
  [[nodiscard]] static bool HandOver(const QString& file, const QString& folder = QString(),
                                     int timeoutMs = 10000);

 private:
  QString m_path;
  std::unique_ptr<QLockFile> m_lock;
  platform::LocalSocket m_server;
  std::unique_ptr<QSocketNotifier> m_notifier;
  bool m_acquired = false;
};

/// The user's runtime folder ($XDG_RUNTIME_DIR, or Qt's private fallback).
QString RuntimeFolder();

}  // namespace app

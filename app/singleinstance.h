#pragma once
// One running program per user: a lock file in the user's runtime folder, held for the
// program's lifetime. A lock left by a program that ended without releasing it (a crash) is
// taken over.

#include <QLockFile>
#include <QString>
#include <memory>

namespace app {

class SingleInstance {
 public:
  /// Tries to take the lock "lyrabinder.lock" in `folder` (the user's runtime folder when
  /// empty). Acquired() is false when another live instance holds it.
  explicit SingleInstance(const QString& folder = QString());
  /// True when this instance holds the lock.
  bool Acquired() const { return m_acquired; }
  /// The lock file's path.
  const QString& LockPath() const { return m_path; }

 private:
  QString m_path;
  std::unique_ptr<QLockFile> m_lock;
  bool m_acquired = false;
};

/// The user's runtime folder ($XDG_RUNTIME_DIR, or Qt's private fallback).
QString RuntimeFolder();

}  // namespace app

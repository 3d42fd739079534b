#include "app/singleinstance.h"

#include <QDir>
#include <QStandardPaths>

namespace app {

QString RuntimeFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  return folder;
}

SingleInstance::SingleInstance(const QString& folder) {
  const QString dir = folder.isEmpty() ? RuntimeFolder() : folder;
  QDir().mkpath(dir);
  m_path = QDir(dir).filePath("lyrabinder.lock");
  m_lock = std::make_unique<QLockFile>(m_path);
  // The lock is held for as long as the program runs, so it must never count as stale by age;
  // one whose owner process is gone is still recognised and taken over.
  m_lock->setStaleLockTime(0);
  m_acquired = m_lock->tryLock(0);
}

}  // namespace app

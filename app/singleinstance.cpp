#include "app/singleinstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <string>
#include <system_error>

namespace app {

namespace {

constexpr const char* kSocketName = "lyrabinder.socket";
// A path, newline-terminated; anything longer is not one of ours.
constexpr std::size_t kMaxMessage = 64 * 1024;
constexpr int kReadTimeoutMs = 5000;

QString FolderOrRuntime(const QString& folder) {
  return folder.isEmpty() ? RuntimeFolder() : folder;
}

std::filesystem::path SocketPath(const QString& folder) {
  return QDir(folder).filePath(kSocketName).toStdString();
}

// One connection from a later start: its line is read as it comes, then the connection ends.
// A peer that stays silent or sends too much is dropped; nothing waits on it.
class Peer : public QObject {
 public:
  Peer(platform::LocalSocket socket, std::function<void(const QString&)> open, QObject* parent)
      : QObject(parent),
        m_socket(std::move(socket)),
        m_open(std::move(open)),
        m_readable(m_socket.Descriptor(), QSocketNotifier::Read, this) {
    connect(&m_readable, &QSocketNotifier::activated, this, &Peer::Read);
    QTimer::singleShot(kReadTimeoutMs, this, &Peer::End);
  }

 private:
  void Read() {
    const platform::ReadStatus status = platform::ReadAvailable(m_socket, m_data, kMaxMessage);
    const std::size_t end = m_data.find('\n');
    if (end == std::string::npos && status == platform::ReadStatus::Open &&
        m_data.size() < kMaxMessage) {
      return;
    }
    End();
    if (end == std::string::npos || end == 0) return;
    m_open(QString::fromUtf8(m_data.data(), static_cast<qsizetype>(end)));
  }

  // Not deleted at once: the notifier may be the one calling.
  void End() {
    m_readable.setEnabled(false);
    deleteLater();
  }

  platform::LocalSocket m_socket;
  std::function<void(const QString&)> m_open;
  QSocketNotifier m_readable;
  std::string m_data;
};

}  // namespace

QString RuntimeFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  return folder;
}

SingleInstance::SingleInstance(const QString& folder) {
  const QString dir = FolderOrRuntime(folder);
  QDir().mkpath(dir);
  m_path = QDir(dir).filePath("lyrabinder.lock");
  m_lock = std::make_unique<QLockFile>(m_path);
  // The lock is held for as long as the program runs, so it must never count as stale by age;
  // one whose owner process is gone is still recognised and taken over.
  m_lock->setStaleLockTime(0);
  m_acquired = m_lock->tryLock(0);
}

SingleInstance::~SingleInstance() {
  // The socket goes with its listener, before the lock is given up.
  std::error_code ignored;
  if (m_server.IsOpen()) std::filesystem::remove(SocketPath(QFileInfo(m_path).path()), ignored);
}

bool SingleInstance::Listen(std::function<void(const QString&)> open) {
  if (!m_acquired) return false;
  std::string error;
  m_server = platform::ListenLocal(SocketPath(QFileInfo(m_path).path()), error);
  if (!m_server.IsOpen()) return false;
  m_notifier = std::make_unique<QSocketNotifier>(m_server.Descriptor(), QSocketNotifier::Read);
  QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(),
                   [this, open = std::move(open)] {
                     for (auto peer = platform::AcceptLocal(m_server); peer.IsOpen();
                          peer = platform::AcceptLocal(m_server)) {
                       new Peer(std::move(peer), open, m_notifier.get());
                     }
                   });
  return true;
}

bool SingleInstance::HandOver(const QString& file, const QString& folder, int timeoutMs) {
  const std::filesystem::path path = SocketPath(FolderOrRuntime(folder));
  const QByteArray message = QFileInfo(file).absoluteFilePath().toUtf8() + '\n';
  // One line per file: a name with a line break cannot be handed over.
  if (static_cast<std::size_t>(message.size()) > kMaxMessage || message.count('\n') != 1) {
    return false;
  }
  // The running instance may still be starting: try again until it listens.
  const QDeadlineTimer deadline(timeoutMs);
  while (true) {
    const platform::LocalSocket socket = platform::ConnectLocal(path);
    if (socket.IsOpen()) {
      // Once in the socket the line stays readable for the peer after this start has ended.
      return platform::SendAll(socket, message.toStdString(),
                               std::max(1000, static_cast<int>(deadline.remainingTime())));
    }
    if (deadline.hasExpired()) return false;
    QThread::msleep(100);
  }
}

}  // namespace app

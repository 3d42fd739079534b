#include "app/singleinstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <algorithm>

namespace app {

namespace {

constexpr const char* kSocketName = "lyrabinder.socket";
// A path, newline-terminated; anything longer is not one of ours.
constexpr qint64 kMaxMessage = 64 * 1024;
constexpr int kReadTimeoutMs = 5000;

QString FolderOrRuntime(const QString& folder) {
  return folder.isEmpty() ? RuntimeFolder() : folder;
}

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

SingleInstance::~SingleInstance() = default;

bool SingleInstance::Listen(std::function<void(const QString&)> open) {
  if (!m_acquired) return false;
  const QString name = QFileInfo(m_path).dir().filePath(kSocketName);
  // Holding the lock, a socket file left there is a crashed instance's.
  QLocalServer::removeServer(name);
  m_server = std::make_unique<QLocalServer>();
  m_server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!m_server->listen(name)) {
    m_server.reset();
    return false;
  }
  QLocalServer* server = m_server.get();
  QObject::connect(server, &QLocalServer::newConnection, server, [server, open] {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
      socket->setReadBufferSize(kMaxMessage);
      // A peer that stays silent or sends too much is dropped; nothing waits on it.
      auto* timer = new QTimer(socket);
      timer->setSingleShot(true);
      QObject::connect(timer, &QTimer::timeout, socket, &QLocalSocket::abort);
      timer->start(kReadTimeoutMs);
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket, open] {
        if (!socket->canReadLine()) {
          if (socket->bytesAvailable() >= kMaxMessage) socket->abort();
          return;
        }
        const QString file = QString::fromUtf8(socket->readLine()).chopped(1);
        socket->disconnectFromServer();
        if (!file.isEmpty()) open(file);
      });
    }
  });
  return true;
}

bool SingleInstance::HandOver(const QString& file, const QString& folder, int timeoutMs) {
  const QString name = QDir(FolderOrRuntime(folder)).filePath(kSocketName);
  const QByteArray message = QFileInfo(file).absoluteFilePath().toUtf8() + '\n';
  // One line per file: a name with a line break cannot be handed over.
  if (message.size() > kMaxMessage || message.count('\n') != 1) return false;
  // The running instance may still be starting: try again until it listens.
  const QDeadlineTimer deadline(timeoutMs);
  while (true) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (socket.waitForConnected(1000)) {
      socket.write(message);
      // Once in the socket the line stays readable for the peer after this start has ended.
      return socket.waitForBytesWritten(std::max(1000, static_cast<int>(deadline.remainingTime())));
    }
    if (deadline.hasExpired()) return false;
    QThread::msleep(100);
  }
}

}  // namespace app

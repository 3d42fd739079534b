// One running program per user, and a lock that a crashed program does not leave stuck.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <string>
#include <vector>

#include "app/singleinstance.h"
#include "platform/system/localsocket.h"

class SingleInstanceTest : public QObject {
  Q_OBJECT

  // The program, started with its runtime folder in `runtime`.
  static void Start(QProcess& program, const QString& runtime, const QStringList& arguments = {}) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime);
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.start(LB_PROGRAM, arguments);
    QVERIFY(program.waitForStarted(60000));
  }

 private slots:
  void onlyOneHolderAtATime() {
    QTemporaryDir runtime;
    {
      const app::SingleInstance first(runtime.path());
      QVERIFY(first.Acquired());
      QCOMPARE(first.LockPath(), QDir(runtime.path()).filePath("lyrabinder.lock"));
      const app::SingleInstance second(runtime.path());
      QVERIFY(!second.Acquired());
    }
    const app::SingleInstance third(runtime.path());
    QVERIFY(third.Acquired());
  }

  void secondProgramEndsAtOnce() {
    QTemporaryDir runtime;
    const QString lock = QDir(runtime.path()).filePath("lyrabinder.lock");
    QProcess first;
    Start(first, runtime.path());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock), 60000);

    QProcess second;
    Start(second, runtime.path());
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);

    // The first one crashes: its lock is taken over by the next start.
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    QVERIFY(first.waitForFinished(60000));
    QVERIFY(QFile::exists(lock));
    app::SingleInstance next(runtime.path());
    QVERIFY(next.Acquired());
    // Its socket is still there; the next holder listens in its place.
    QVERIFY(next.Listen([](const QString&) {}));
  }

  void laterStartsHandTheirFileToTheRunningOne() {
    QTemporaryDir runtime;
    QVERIFY(!app::SingleInstance::HandOver("x_LB.MP3", runtime.path(), 200));
    app::SingleInstance first(runtime.path());
    QStringList received;
    QVERIFY(first.Listen([&](const QString& file) { received += file; }));
    const QString socket = QDir(runtime.path()).filePath("lyrabinder.socket");
    QCOMPARE(QFileInfo(socket).permissions() &
                 (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup),
             QFileDevice::Permissions());
    // Peers that stay silent, send no line or too much hold up nobody.
    std::vector<platform::LocalSocket> strangers;
    for (const std::string& bytes : {std::string(), std::string("no line"),
                                     std::string(70 * 1024, 'x') + "\n", std::string("\n")}) {
      strangers.push_back(platform::ConnectLocal(socket.toStdString()));
      QVERIFY(platform::SendAll(strangers.back(), bytes, 1000));
    }
    strangers.at(1) = platform::LocalSocket();
    const QString relative = "Band - Best Of _LB.MP3";
    QVERIFY(app::SingleInstance::HandOver(relative, runtime.path()));
    QVERIFY(app::SingleInstance::HandOver("/music/\u00e9t\u00e9_LB.MP3", runtime.path()));
    QVERIFY(!app::SingleInstance::HandOver("two\nlines_LB.MP3", runtime.path()));
    QTRY_COMPARE(received, QStringList({QDir::current().absoluteFilePath(relative),
                                        "/music/\u00e9t\u00e9_LB.MP3"}));

    // A program started with a file hands it over and ends.
    QProcess program;
    Start(program, runtime.path(), {"y_LB.MP3"});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), 0);
    QTRY_COMPARE(received.size(), 3);
    QCOMPARE(received.last(), QDir::current().absoluteFilePath("y_LB.MP3"));
  }
};

QTEST_MAIN(SingleInstanceTest)
#include "singleinstance_test.moc"

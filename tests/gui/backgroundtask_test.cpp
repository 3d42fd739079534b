// Work off the window's thread: progress in order and then the end, one work at a time, stops.
#include <QTest>
#include <QThread>
#include <atomic>
#include <numeric>
#include <thread>

#include "app/backgroundtask.h"

class BackgroundTaskTest : public QObject {
  Q_OBJECT

 private slots:
  void deliversEveryValueOnThisThreadThenTheEnd() {
    app::BackgroundTask task;
    // A value that comes on another thread or after the end is recorded negated.
    QList<int> values;
    bool ended = false;
    const auto* owner = QThread::currentThread();
    QVERIFY(task.Start(
        [](const app::TaskControl& control) {
          for (int i = 1; i <= 50; ++i) control.Report(i);
          control.Post([] {});
        },
        [&](int value) { values += ended || QThread::currentThread() != owner ? -value : value; },
        [&] {
          QVERIFY(!task.Running());
          ended = true;
        }));
    QVERIFY(task.Running());
    QVERIFY(!task.Start([](const app::TaskControl&) {}, {}, {}));
    QTRY_VERIFY_WITH_TIMEOUT(ended, 30000);
    QList<int> expected(50);
    std::iota(expected.begin(), expected.end(), 1);
    QCOMPARE(values, expected);
    // A finished task takes the next work.
    bool again = false;
    QVERIFY(task.Start([](const app::TaskControl&) {}, {}, [&] { again = true; }));
    QTRY_VERIFY_WITH_TIMEOUT(again, 30000);
  }

  void aStopEndsAPauseAndTurnsReportsFalse() {
    app::BackgroundTask task;
    std::atomic<bool> pauseEnded = false;
    std::atomic<bool> reportAfterStop = true;
    bool ended = false;
    QVERIFY(task.Start(
        [&](const app::TaskControl& control) {
          // Long enough that only a stop ends it within the test's time.
          pauseEnded = !control.Pause(600000);
          reportAfterStop = control.Report(1);
        },
        {}, [&] { ended = true; }));
    task.RequestStop();
    QTRY_VERIFY_WITH_TIMEOUT(ended, 30000);
    QVERIFY(pauseEnded);
    QVERIFY(!reportAfterStop);
  }

  void stopAndWaitDropsWhatIsStillQueued() {
    app::BackgroundTask task;
    int values = 0;
    bool ended = false;
    QVERIFY(task.Start(
        [](const app::TaskControl& control) {
          while (control.Report(0)) std::this_thread::yield();
        },
        [&](int) { ++values; }, [&] { ended = true; }));
    task.StopAndWait();
    QVERIFY(!task.Running());
    const int before = values;
    QTest::qWait(50);
    QCOMPARE(values, before);
    QVERIFY(!ended);
  }
};

QTEST_MAIN(BackgroundTaskTest)
#include "backgroundtask_test.moc"

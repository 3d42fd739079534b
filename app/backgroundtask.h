#pragma once
// Work off the window's thread: a function runs on a worker thread while the window keeps
// repainting and taking input; its progress reaches the window's thread as queued calls, and it
// can be asked to stop. No nested event loop: the window learns of the end through a callback.

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace app {

/// What the work sees of its task. Thread-safe.
class TaskControl {
 public:
  /// Sends `value` to the window's progress callback; false once a stop was asked for.
  bool Report(int value) const;
  /// Runs `call` on the window's thread, in order with the progress values.
  void Post(std::function<void()> call) const;
  /// True once a stop was asked for.
  bool StopRequested() const;
  /// Waits `ms` milliseconds or until a stop is asked for; false when stopped.
  bool Pause(int ms) const;

 private:
  friend class BackgroundTask;
  struct Shared;
  explicit TaskControl(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}
  std::shared_ptr<Shared> m_shared;
};

/// One piece of work at a time on a worker thread. The callbacks run on the thread that owns
/// this object, in order: every progress value reported, then `finished` once.
class BackgroundTask : public QObject {
  Q_OBJECT

 public:
  using Work = std::function<void(const TaskControl&)>;
  using Progress = std::function<void(int value)>;
  using Finished = std::function<void()>;

  explicit BackgroundTask(QObject* parent = nullptr);
  /// Asks a running work to stop and waits for it.
  ~BackgroundTask() override;
  BackgroundTask(const BackgroundTask&) = delete;
  BackgroundTask& operator=(const BackgroundTask&) = delete;

  /// Starts `work` on a worker thread; false (and nothing started) while a work is running.
  /// Exceptions must not leave `work`.
  [[nodiscard]] bool Start(Work work, Progress progress, Finished finished);
  /// True from Start until just before `finished` runs.
  bool Running() const { return m_running; }
  /// Asks the running work to stop; it decides when (TaskControl).
  void RequestStop();
  /// Asks the running work to stop and waits until it has returned. Its pending progress
  /// values and its `finished` callback are dropped.
  void StopAndWait();

 private:
  void Join();

  std::shared_ptr<TaskControl::Shared> m_shared;
  std::thread m_worker;
  bool m_running = false;
};

}  // namespace app

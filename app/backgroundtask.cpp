#include "app/backgroundtask.h"

#include <QMetaObject>
#include <chrono>

namespace app {

struct TaskControl::Shared {
  std::mutex mutex;
  std::condition_variable wake;
  std::atomic<bool> stop = false;
  // Cleared when the window no longer wants to hear from this run.
  std::atomic<bool> deliver = true;
  // Outlives the worker: the task joins it before it is destroyed.
  BackgroundTask* task = nullptr;
  BackgroundTask::Progress progress;
};

bool TaskControl::Report(int value) const {
  Post([shared = m_shared, value] {
    if (shared->progress) shared->progress(value);
  });
  return !StopRequested();
}

void TaskControl::Post(std::function<void()> call) const {
  QMetaObject::invokeMethod(
      m_shared->task,
      [shared = m_shared, call = std::move(call)] {
        if (shared->deliver) call();
      },
      Qt::QueuedConnection);
}

bool TaskControl::StopRequested() const {
  return m_shared->stop;
}

bool TaskControl::Pause(int ms) const {
  std::unique_lock lock(m_shared->mutex);
  return !m_shared->wake.wait_for(lock, std::chrono::milliseconds(ms),
                                  [this] { return m_shared->stop.load(); });
}

BackgroundTask::BackgroundTask(QObject* parent) : QObject(parent) {}

BackgroundTask::~BackgroundTask() {
  StopAndWait();
}

bool BackgroundTask::Start(Work work, Progress progress, Finished finished) {
  if (m_running) return false;
  Join();
  auto shared = std::make_shared<TaskControl::Shared>();
  shared->task = this;
  shared->progress = std::move(progress);
  m_shared = shared;
  m_running = true;
  m_worker = std::thread([shared, work = std::move(work), finished = std::move(finished)] {
    work(TaskControl(shared));
    // Queued behind the last progress value, so the window shows it before the end.
    QMetaObject::invokeMethod(
        shared->task,
        [shared, finished] {
          if (!shared->deliver) return;
          shared->task->m_running = false;
          if (finished) finished();
        },
        Qt::QueuedConnection);
  });
  return true;
}

void BackgroundTask::RequestStop() {
  if (!m_shared) return;
  {
    const std::lock_guard lock(m_shared->mutex);
    m_shared->stop = true;
  }
  m_shared->wake.notify_all();
}

void BackgroundTask::StopAndWait() {
  if (m_shared) m_shared->deliver = false;
  RequestStop();
  Join();
  m_running = false;
}

void BackgroundTask::Join() {
  if (m_worker.joinable()) m_worker.join();
}

}  // namespace app

#pragma once
// Work that must not hold up the windows: it runs on a thread of its own and hands its result
// to the GUI thread.

#include <QObject>
#include <QThread>
#include <functional>
#include <memory>

namespace app {

/// Runs `work` on a new thread, then `done` with its result on `context`'s thread. Nothing is
/// delivered when `context` is gone by then.
template <typename Result>
void RunInBackground(QObject* context, std::function<Result()> work,
                     std::function<void(Result&)> done) {
  auto result = std::make_shared<Result>();
  QThread* thread = QThread::create([result, work = std::move(work)] { *result = work(); });
  QObject::connect(thread, &QThread::finished, context,
                   [result, done = std::move(done)] { done(*result); });
  QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
  thread->start();
}

}  // namespace app

#pragma once
// A modal window whose work runs off the window's thread and which cannot be closed while it
// runs.

#include <QDialog>

#include "app/backgroundtask.h"

class QCloseEvent;

namespace app {

class WorkDialog : public QDialog {
  Q_OBJECT

 public:
  explicit WorkDialog(QWidget* parent = nullptr);
  /// Stops the work and waits for it. A window whose work reads its own members stops it in
  /// its own destructor, before they go.
  ~WorkDialog() override;
  /// True while the window's work runs.
  bool Busy() const { return m_task->Running(); }

 public slots:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

  BackgroundTask* m_task;
};

}  // namespace app

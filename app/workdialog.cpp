#include "app/workdialog.h"

#include <QCloseEvent>

namespace app {

WorkDialog::WorkDialog(QWidget* parent) : QDialog(parent), m_task(new BackgroundTask(this)) {}

WorkDialog::~WorkDialog() {
  m_task->StopAndWait();
}

void WorkDialog::reject() {
  if (!Busy()) QDialog::reject();
}

void WorkDialog::closeEvent(QCloseEvent* event) {
  if (Busy()) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace app

#pragma once
// The hourglass pointer for the lifetime of a scope.

#include <QApplication>
#include <QCursor>

namespace app {

class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { Restore(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
  /// Back to the normal pointer before the scope ends.
  void Restore() {
    if (m_active) QApplication::restoreOverrideCursor();
    m_active = false;
  }

 private:
  bool m_active = true;
};

}  // namespace app

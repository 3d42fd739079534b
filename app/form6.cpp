#include "app/form6.h"

#include <QEvent>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/shell.h"

namespace app {

Form6::Form6(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("Form6");
  setWindowTitle(ToQString(kViewerCaption));
  resize(640, 480);
}

void Form6::PrepareBrowser() {
  if (wcIE || m_browserFailed) return;
  wcIE = new QWebEngineView(this);
  wcIE->setObjectName("wcIE");
  wcIE->setGeometry(rect());
  wcIE->show();
  // A browser whose engine cannot run (no sandbox, no GPU process) ends its render process:
  // the window goes away and the player plays on.
  connect(wcIE->page(), &QWebEnginePage::renderProcessTerminated, this,
          [this](QWebEnginePage::RenderProcessTerminationStatus status, int) {
            if (status != QWebEnginePage::NormalTerminationStatus) BrowserFailed();
          });
}

void Form6::BrowserFailed() {
  if (!wcIE) return;
  m_browserFailed = true;
  wcIE->hide();
  wcIE->deleteLater();
  wcIE = nullptr;
  hide();
}

void Form6::ShowPage(const QString& folder, const QString& page) {
  m_folder = folder;
  m_page = page;
  Refresh();
}

void Form6::Refresh() {
  if (isMinimized()) return;
  if (m_browserFailed) {
    hide();
    return;
  }
  if (!m_page.isEmpty()) m_navigated = QUrl::fromLocalFile(m_folder + m_page);
  // A viewer never shown (an album without pictures or lyrics) never starts the engine.
  if (!wcIE && !isVisible()) return;
  PrepareBrowser();
  wcIE->setGeometry(rect());
  if (!m_page.isEmpty()) wcIE->setUrl(m_navigated);
}

void Form6::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!wcIE) Refresh();
}

void Form6::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The first show's resize to the size the browser has already reloads nothing.
  if (wcIE && wcIE->size() == size()) return;
  Refresh();
}

void Form6::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // Restored from the task bar: the page missed while minimised is loaded now.
  if (event->type() == QEvent::WindowStateChange && !isMinimized()) Refresh();
}

}  // namespace app

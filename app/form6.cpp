#include "app/form6.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWebEngineHistory>
#include <QWebEnginePage>
#include <QWebEngineView>

#include "app/shell.h"

namespace app {

namespace {

constexpr QSize kFirstSize(640, 480);

Form6* g_kept = nullptr;

// The browser must go before Qt WebEngine and Qt Quick clean up at the application's end.
void DeleteKept() {
  delete g_kept;
  g_kept = nullptr;
}

}  // namespace

Form6::Form6() : QWidget(nullptr, Qt::Window) {
  setObjectName("Form6");
  setWindowTitle(ToQString(kViewerCaption));
  setAttribute(Qt::WA_DeleteOnClose, false);
  resize(kFirstSize);
}

Form6* Form6::Take(const QObject* player) {
  if (!g_kept) g_kept = new Form6;
  g_kept->m_holder = player;
  return g_kept;
}

void Form6::Release() {
  m_holder = nullptr;
  hide();
  m_folder.clear();
  m_page.clear();
  m_navigated.clear();
  m_browserFailed = false;
  m_pending = false;
  // The old album's page would show for a moment at the next showing, and its slideshow runs on.
  if (wcIE) wcIE->setUrl(QUrl("about:blank"));
  setWindowState(Qt::WindowNoState);
  resize(kFirstSize);
  // Cleanups run last registered first: the browser's parts registered theirs by now.
  qRemovePostRoutine(DeleteKept);
  qAddPostRoutine(DeleteKept);
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
  // Once blank, the history (and the pages kept for going back) forgets the albums shown: it
  // would grow with every album.
  connect(wcIE, &QWebEngineView::loadFinished, this, [this] {
    if (m_page.isEmpty() && wcIE) wcIE->history()->clear();
  });
  if (m_page.isEmpty()) wcIE->setUrl(QUrl("about:blank"));
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
  // A hidden viewer (an album without pictures or lyrics, a closed one) only records its page,
  // and starts no browser for it: the page is loaded when the window shows.
  m_pending = !isVisible();
  if (m_pending) return;
  PrepareBrowser();
  wcIE->setGeometry(rect());
  if (!m_page.isEmpty()) wcIE->setUrl(m_navigated);
}

void Form6::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!wcIE || m_pending) Refresh();
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

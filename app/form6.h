#pragma once
// The web view window: the album's generated pages in an embedded browser beside the player.

#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWidget>
#include <string_view>

class QWebEngineView;

namespace app {

inline constexpr std::string_view kViewerCaption = "MP3 - Lyrabinder - Viewer";

class Form6 : public QWidget {
  Q_OBJECT

 public:
  /// The process's one viewer, now held by `player`. Made at first use and kept, hidden, between
  /// players with its browser, so that a later album finds the engine and its page process
  /// running; deleted when the application ends.
  static Form6* Take(const QObject* player);
  /// True while `player` holds the window (a later player may have taken it over).
  bool HeldBy(const QObject* player) const { return player && m_holder == player; }
  /// Gives the window back, hidden, at its first size and state, with a blank page and none
  /// recorded; a browser that failed may start again for the next player.
  void Release();

  /// Shows `folder` + `page` (the folder ends in a separator), now unless the window is
  /// minimised, else when it is restored.
  void ShowPage(const QString& folder, const QString& page);
  /// The page last navigated to, by the browser or, not started yet, in its place (empty
  /// before the first navigation).
  QUrl NavigatedUrl() const { return m_navigated; }
  /// False once the browser could not start; the window then stays hidden.
  bool HasBrowser() const { return !m_browserFailed; }
  /// Starts the browser ahead of the first page (it starts at the first show otherwise), with
  /// a blank page while there is none, so that its page process starts too.
  void PrepareBrowser();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  Form6();
  // Fits the browser to the window and loads the current page (not while minimised or hidden).
  void Refresh();
  void BrowserFailed();

  QPointer<const QObject> m_holder;
  QWebEngineView* wcIE = nullptr;
  bool m_browserFailed = false;
  bool m_pending = false;  // a page recorded while hidden, not loaded yet
  QString m_folder;
  QString m_page;
  QUrl m_navigated;
};

}  // namespace app

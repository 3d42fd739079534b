#pragma once
// The web view window: the album's generated pages in an embedded browser beside the player.

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
  explicit Form6(QWidget* parent = nullptr);

  /// Shows `folder` + `page` (the folder ends in a separator), now unless the window is
  /// minimised, else when it is restored.
  void ShowPage(const QString& folder, const QString& page);
  /// The page last navigated to, by the browser or, not started yet, in its place (empty
  /// before the first navigation).
  QUrl NavigatedUrl() const { return m_navigated; }
  /// False once the browser could not start; the window then stays hidden.
  bool HasBrowser() const { return !m_browserFailed; }
  /// Starts the browser ahead of the first page (it starts at the first show otherwise).
  void PrepareBrowser();

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Fits the browser to the window and loads the current page (not while minimised).
  void Refresh();
  void BrowserFailed();

  QWebEngineView* wcIE = nullptr;
  bool m_browserFailed = false;
  QString m_folder;
  QString m_page;
  QUrl m_navigated;
};

}  // namespace app

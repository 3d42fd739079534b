#include <QApplication>
#include <QCommandLineParser>
#include <QOpenGLContext>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <thread>

#include <fontconfig/fontconfig.h>

#include "app/frmmain.h"
#include "app/shell.h"
#include "app/singleinstance.h"

namespace {

// How long a file given at start waits for the main window to be on screen: 2 s at most.
constexpr std::chrono::milliseconds kExposePoll{10};
constexpr int kExposeTries = 200;

}  // namespace

// Qt's own setter (QtGui exports it; QtWebEngine calls it too): there is no public one.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);

int main(int argc, char** argv) {
  // Fontconfig reads its configuration and caches (some 10 ms) when the window first measures
  // text; meanwhile the application connects to the display.
  std::thread fonts([] { FcInit(); });
  // The web view window's browser shares OpenGL contexts with the widgets. Given a share context
  // not yet created, QApplication makes none itself: creating one loads the GL driver (some
  // 60 MB resident), so the player module creates it when the player first opens. It lives as
  // long as the process.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  qt_gl_set_global_share_context(new QOpenGLContext);
  QApplication application(argc, argv);
  QApplication::setApplicationName("lyrabinder");
  QApplication::setApplicationVersion(LB_VERSION);
  QGuiApplication::setDesktopFileName("lyrabinder");
  fonts.join();

  QCommandLineParser parser;
  parser.setApplicationDescription("MP3 - Lyrabinder");
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument("FILE", "An album or AlbumWrap archive to open.", "[FILE]");
  parser.process(application);
  const QStringList files = parser.positionalArguments();
  if (files.size() > 1) parser.showHelp(2);
  const QString file = files.value(0);

  // A second instance ends at once, before it shows anything; a file goes to the first one.
  app::SingleInstance instance;
  if (!instance.Acquired()) return file.isEmpty() || app::SingleInstance::HandOver(file) ? 0 : 1;

  app::DesktopShell shell;
  app::frmMain window(shell);
  window.show();
  // Without the socket the program still runs; later starts then just end (a later start that
  // comes before this waits for it).
  (void)instance.Listen([&window](const QString& handed) { window.OpenFile(handed); });
  // A message about the file is placed over the window, so the window must have its place first.
  if (!file.isEmpty()) {
    auto* wait = new QTimer(&window);
    QObject::connect(wait, &QTimer::timeout, &window, [&window, wait, file, tries = 0]() mutable {
      const QWindow* handle = window.windowHandle();
      if (handle && !handle->isExposed() && ++tries < kExposeTries) return;
      wait->deleteLater();
      window.OpenFile(file);
    });
    wait->start(kExposePoll);
  }
  return QApplication::exec();
}

#include <QApplication>

#include "app/frmmain.h"
#include "app/shell.h"
#include "app/singleinstance.h"

int main(int argc, char** argv) {
  // The web view window's browser shares OpenGL contexts with the widgets.
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication application(argc, argv);
  QApplication::setApplicationName("lyrabinder");
  QGuiApplication::setDesktopFileName("lyrabinder");

  // A second instance ends at once, before it shows anything.
  const app::SingleInstance instance;
  if (!instance.Acquired()) return 0;

  app::DesktopShell shell;
  app::frmMain window(shell);
  window.show();
  return QApplication::exec();
}

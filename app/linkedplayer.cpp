#include <QGuiApplication>
#include <QOpenGLContext>
#include <QSurfaceFormat>

#include "app/form5.h"
#include "app/playermodule.h"

namespace app {

const PlayerModule* LinkedPlayer(std::string&) {
  static constexpr PlayerModule kPlayer{
      [](Shell& shell, QWidget* mainWindow, const QString& album) -> QWidget* {
        // The program leaves the browser's share context for the player to create (main.cpp).
        if (QOpenGLContext* share = QOpenGLContext::globalShareContext();
            share && !share->isValid()) {
          // Made before there was a screen.
          share->setScreen(QGuiApplication::primaryScreen());
          share->setFormat(QSurfaceFormat::defaultFormat());
          (void)share->create();
        }
        auto* player = new Form5(shell, mainWindow);
        player->setAttribute(Qt::WA_DeleteOnClose);
        if (album.isEmpty()) {
          player->Load();
        } else {
          player->Load(album);
        }
        return player;
      },
      [](const QWidget* player) {
        const auto* form5 = qobject_cast<const Form5*>(player);
        return form5 && form5->IsOpening();
      },
  };
  return &kPlayer;
}

}  // namespace app

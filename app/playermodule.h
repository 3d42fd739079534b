#pragma once
// The player window, with its browser and media controls, lives in a module the program loads
// when the player first opens: the main window alone starts without Qt WebEngine and D-Bus.

#include <string>
#include <string_view>

class QString;
class QWidget;

namespace app {

class Shell;

/// What the main window needs of the player window. The module is built with the program from
/// the same sources and shares its Qt and C++ runtime, so C++ types cross.
struct PlayerModule {
  /// Makes a player window for `mainWindow`, deleted when it closes, and starts its opening on
  /// `album`, or asks for an album when it is empty.
  QWidget* (*open)(Shell& shell, QWidget* mainWindow, const QString& album);
  /// True while `player`, made by `open`, is still opening its album.
  bool (*isOpening)(const QWidget* player);
};

/// How the main window reaches the player: nullptr and `error` set when it cannot.
using PlayerLoader = const PlayerModule* (*)(std::string& error);

/// The module's file name, found like the encoder bridge (platform::LoadProgramModule).
inline constexpr const char* kPlayerModuleName = "liblyrabinder-player.so";
/// The name of its one export, an LbPlayerModuleFunction.
inline constexpr const char* kPlayerModuleEntry = "LbPlayerModule";
extern "C" {
typedef const app::PlayerModule* (*LbPlayerModuleFunction)();
}

/// Loads the module on the first call and keeps it; later calls give the same outcome.
/// On failure `error` reads "Cannot load liblyrabinder-player.so: <reason>".
const PlayerModule* LoadPlayerModule(std::string& error);

/// The player linked into this executable (the module's own export, and tests).
const PlayerModule* LinkedPlayer(std::string& error);

}  // namespace app

// The export of liblyrabinder-player.so (app/playermodule.h).

#include <type_traits>

#include "app/playermodule.h"

extern "C" __attribute__((visibility("default"))) const app::PlayerModule* LbPlayerModule() {
  std::string unused;
  return app::LinkedPlayer(unused);
}

static_assert(std::is_same_v<decltype(&LbPlayerModule), app::LbPlayerModuleFunction>);

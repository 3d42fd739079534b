#include "app/playermodule.h"

#include "platform/dynlib/dynlib.h"

namespace app {

// The module stays loaded: Qt WebEngine keeps threads and handlers that do not survive being
// unloaded.
const PlayerModule* LoadPlayerModule(std::string& error) {
  static std::string failure;
  static const PlayerModule* const module = [] {
    std::string reason;
    const platform::LibraryHandle library = platform::LoadProgramModule(kPlayerModuleName, reason);
    const auto entry =
        reinterpret_cast<LbPlayerModuleFunction>(platform::FindSymbol(library, kPlayerModuleEntry));
    if (library && !entry) reason = std::string("it has no ") + kPlayerModuleEntry;
    const PlayerModule* found = entry ? entry() : nullptr;
    if (!found) {
      failure = std::string("Cannot load ") + kPlayerModuleName + ": " + reason;
      platform::ReleaseLibrary(library);
    }
    return found;
  }();
  if (!module) error = failure;
  return module;
}

}  // namespace app

#pragma once
// What making and using web folders needs from the system.

#include <memory>
#include <string>
#include <vector>

#include "webview/webfolder.h"

namespace webview {

/// The user's name for the web root level (never empty).
std::string UserName();

struct OwnFolders {
  std::unique_ptr<WebFolder> folder;  ///< the last level, opened; nothing on failure
  bool rootForeign = false;           ///< the first level is not a folder of this user
};

/// Opens `base` (ending in a separator; it may be reached through a symlink) and refuses it
/// when another user (root aside) owns it or others may write to it without the sticky bit.
/// Then creates base/levels[0]/levels[1]/... where missing, mode 0700, each level opened
/// relative to the one above without following a symlink and refused unless it is a folder
/// of this user; the last one is locked against other runs.
[[nodiscard]] OwnFolders MakeOwnFolders(const std::string& base,
                                        const std::vector<std::string>& levels, std::string& error);

/// Creates a new folder of this user in `base` named `prefix` + random letters, checked as
/// MakeOwnFolders checks `base`. Its name, or nothing with the reason in `error`.
[[nodiscard]] std::string MakeFreshFolder(const std::string& base, const std::string& prefix,
                                          std::string& error);

/// A folder private to this user that outlives no session ($XDG_RUNTIME_DIR), ending in a
/// separator; empty where there is none.
std::string RuntimeFolder();

}  // namespace webview

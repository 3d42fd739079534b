#pragma once
// What making and clearing web folders needs from the system.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace webview {

/// The user's name for the web root level (never empty).
std::string UserName();

/// Creates base/levels[0]/levels[1]/... where missing, mode 0700, each level opened without
/// following a symlink and refused unless it is a folder owned by this user.
[[nodiscard]] bool MakeOwnFolders(const std::string& base, const std::vector<std::string>& levels,
                                  std::string& error);

/// Deletes the plain files (and symlinks, never their targets) of `folder` whose names `pick`
/// accepts. The folder itself is opened without following a symlink and must be ours.
[[nodiscard]] bool RemoveFilesIn(const std::string& folder,
                                 const std::function<bool(std::string_view)>& pick,
                                 std::string& error);

}  // namespace webview

#pragma once
// What folders.cpp needs from each system's half.

#include <filesystem>

namespace platform {

/// Whether `path` is a folder this process may create files in.
bool IsWritableFolder(const std::filesystem::path& path);

/// The temporary folder the system names, not yet checked; empty when there is none.
std::filesystem::path SystemTempFolder();

}  // namespace platform

#pragma once
// Loading shared libraries by file name at run time: the encoder bridge and its encoders, and
// the picture module of the command line.

#include <filesystem>
#include <string>
#include <vector>

namespace platform {

using LibraryHandle = void*;

/// The folder, relative to a front end's own, where an installed tree keeps the libraries it
/// loads at run time (the encoder bridge, the encoders, the picture module); the build tree has
/// the same layout.
inline constexpr const char* kModuleFolder = "../lib/lyrabinder";

/// Loads `fileName` from the folder of the module (executable or shared library) this code is
/// linked into, else through the loader's own search. Returns nullptr when neither works.
LibraryHandle LoadBesideThisLibrary(const std::string& fileName);

/// Loads `fileName` from the first of `folders` where it loads, else through the loader's own
/// search. On failure returns nullptr and sets `error`: the loader's reason for a file that is
/// there but cannot be loaded, else where it was looked for.
LibraryHandle LoadFromFolders(const std::vector<std::filesystem::path>& folders,
                              const std::string& fileName, std::string& error);

/// Loads `fileName` the way front ends find their modules: from the executable's folder, else
/// from kModuleFolder under it, else through the loader's search. Failure as LoadFromFolders.
LibraryHandle LoadProgramModule(const std::string& fileName, std::string& error);

/// Releases a handle from the functions above; nullptr is ignored.
void ReleaseLibrary(LibraryHandle library);

/// The address of the exported symbol `name`, or nullptr.
void* FindSymbol(LibraryHandle library, const char* name);

}  // namespace platform

#pragma once
// Loading shared libraries by file name at run time.

#include <string>

namespace wavpress {

using LibraryHandle = void*;

/// Loads `fileName` from the folder that holds this library, else through the loader's own
/// search. Returns nullptr when neither works.
LibraryHandle LoadBesideThisLibrary(const std::string& fileName);

/// Releases a handle from LoadBesideThisLibrary; nullptr is ignored.
void ReleaseLibrary(LibraryHandle library);

/// The address of the exported function `name`, or nullptr.
void* FindSymbol(LibraryHandle library, const char* name);

}  // namespace wavpress

#include <dlfcn.h>

#include <filesystem>

#include "wavpress/dynlib.h"

namespace wavpress {

LibraryHandle LoadBesideThisLibrary(const std::string& fileName) {
  Dl_info self{};
  if (dladdr(reinterpret_cast<void*>(&LoadBesideThisLibrary), &self) != 0 && self.dli_fname) {
    const auto beside = std::filesystem::path(self.dli_fname).parent_path() / fileName;
    if (void* library = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL)) return library;
  }
  return dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void ReleaseLibrary(LibraryHandle library) {
  if (library) dlclose(library);
}

void* FindSymbol(LibraryHandle library, const char* name) {
  return library ? dlsym(library, name) : nullptr;
}

}  // namespace wavpress

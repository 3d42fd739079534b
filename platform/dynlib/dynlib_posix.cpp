#include <dlfcn.h>

#include <system_error>

#include "platform/dynlib/dynlib.h"
#include "platform/system/folders.h"

namespace platform {
namespace {

// dlerror() is cleared by reading it; a failed dlopen always sets it.
std::string LoaderError(const std::filesystem::path& file) {
  const char* reason = dlerror();
  return reason ? reason : file.string() + " cannot be loaded";
}

}  // namespace

LibraryHandle LoadBesideThisLibrary(const std::string& fileName) {
  Dl_info self{};
  if (dladdr(reinterpret_cast<void*>(&LoadBesideThisLibrary), &self) != 0 && self.dli_fname) {
    const auto beside = std::filesystem::path(self.dli_fname).parent_path() / fileName;
    if (void* library = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL)) return library;
  }
  return dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
}

LibraryHandle LoadFromFolders(const std::vector<std::filesystem::path>& folders,
                              const std::string& fileName, std::string& error) {
  error.clear();
  std::string searched;
  for (const std::filesystem::path& folder : folders) {
    const std::filesystem::path file = folder / fileName;
    if (void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) return library;
    // A missing file is expected along the way; only a file that is there but fails to load
    // has a reason worth telling.
    std::error_code ec;
    if (error.empty() && std::filesystem::exists(file, ec)) error = LoaderError(file);
    searched += folder.string() + ", ";
  }
  if (void* library = dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    error.clear();
    return library;
  }
  if (error.empty()) error = "not found in " + searched + "or the loader's search path";
  return nullptr;
}

LibraryHandle LoadProgramModule(const std::string& fileName, std::string& error) {
  const std::filesystem::path folder = ProgramFolder();
  std::vector<std::filesystem::path> folders;
  if (!folder.empty()) folders = {folder, folder / kModuleFolder};
  return LoadFromFolders(folders, fileName, error);
}

void ReleaseLibrary(LibraryHandle library) {
  if (library) dlclose(library);
}

void* FindSymbol(LibraryHandle library, const char* name) {
  return library ? dlsym(library, name) : nullptr;
}

}  // namespace platform

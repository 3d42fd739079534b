// Web folders on Windows: the per-user temporary folder is private already. Every level is
// held open without delete sharing while a run works, so that no level can be renamed or
// swapped for a link between the check and the writing.
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "base/fileio.h"
#include "base/text.h"
#include "webview/webfolder_platform.h"

namespace webview {
namespace {

std::string SystemReason(DWORD code) {
  return std::system_category().message(static_cast<int>(code));
}

// A folder level opened as itself (a link is not followed), or nothing.
HANDLE OpenLevel(const std::filesystem::path& path) {
  return CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool IsPlainFolder(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return false;
  return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

}  // namespace

struct WebFolder::Handle {
  std::filesystem::path path;
  std::vector<HANDLE> levels;
  HANDLE lock = nullptr;
  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    for (HANDLE level : levels) CloseHandle(level);
    if (lock) {
      ReleaseMutex(lock);
      CloseHandle(lock);
    }
  }
};

WebFolder::WebFolder(std::string path, std::unique_ptr<Handle> handle)
    : m_path(std::move(path)), m_handle(std::move(handle)) {}

WebFolder::~WebFolder() = default;

std::string UserName() {
  const char* name = std::getenv("USERNAME");
  return name && *name ? name : "user";
}

OwnFolders MakeOwnFolders(const std::string& base, const std::vector<std::string>& levels,
                          std::string& error) {
  OwnFolders made;
  auto handle = std::make_unique<WebFolder::Handle>();
  std::filesystem::path path = base::PathFromUtf8(base);
  for (std::size_t i = 0; i < levels.size(); ++i) {
    path /= base::PathFromUtf8(levels[i]);
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      error = "cannot create " + base::Utf8FromPath(path) + ": " + SystemReason(GetLastError());
      return made;
    }
    HANDLE level = OpenLevel(path);
    if (level == INVALID_HANDLE_VALUE) {
      error = "cannot open " + base::Utf8FromPath(path) + ": " + SystemReason(GetLastError());
      return made;
    }
    handle->levels.push_back(level);
    if (!IsPlainFolder(level)) {
      error = base::Utf8FromPath(path) + " is not a folder (a link or a file is in its place)";
      made.rootForeign = i == 0;
      return made;
    }
  }
  // One run at a time writes a folder, so that it always holds one album's whole view.
  std::wstring name =
      L"Local\\lyrabinder-web-" + std::to_wstring(std::hash<std::wstring>{}(path.wstring()));
  handle->lock = CreateMutexW(nullptr, FALSE, name.c_str());
  if (handle->lock) {
    const DWORD waited = WaitForSingleObject(handle->lock, INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
      CloseHandle(std::exchange(handle->lock, nullptr));
    }
  }
  if (!handle->lock) {
    error = "cannot lock " + base::Utf8FromPath(path) + ": " + SystemReason(GetLastError());
    return made;
  }
  handle->path = path;
  std::string shown = base::Utf8FromPath(path);
  shown += '\\';
  made.folder = std::make_unique<WebFolder>(shown, std::move(handle));
  return made;
}

std::string MakeFreshFolder(const std::string& base, const std::string& prefix,
                            std::string& error) {
  std::random_device random;
  constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = prefix;
    for (int i = 0; i < 8; ++i) name += kLetters[random() % kLetters.size()];
    if (CreateDirectoryW(base::PathFromUtf8(base + name).c_str(), nullptr)) return name;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  error = "cannot create a folder in " + base + ": " + SystemReason(GetLastError());
  return {};
}

std::string RuntimeFolder() {
  return {};
}

std::unique_ptr<WebFolder> WebFolder::OpenExisting(std::string_view path, std::string& error) {
  std::string text(path);
  while (text.size() > 1 && base::IsPathSeparator(text.back())) text.pop_back();
  auto handle = std::make_unique<Handle>();
  handle->path = base::PathFromUtf8(text);
  HANDLE level = OpenLevel(handle->path);
  if (level == INVALID_HANDLE_VALUE) {
    error = "cannot open " + std::string(path) + ": " + SystemReason(GetLastError());
    return nullptr;
  }
  handle->levels.push_back(level);
  if (!IsPlainFolder(level)) {
    error = std::string(path) + " is not a folder (a link or a file is in its place)";
    return nullptr;
  }
  return std::make_unique<WebFolder>(text + '\\', std::move(handle));
}

WebFolder::Entry WebFolder::Find(std::string_view name) const {
  const DWORD attributes = GetFileAttributesW((m_handle->path / base::PathFromUtf8(name)).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Entry::Missing;
  const DWORD other = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  return (attributes & other) == 0 ? Entry::File : Entry::Other;
}

bool WebFolder::RemoveFiles(const std::function<bool(std::string_view)>& pick, std::string& error) {
  std::error_code ec;
  std::vector<std::filesystem::path> files;
  std::filesystem::directory_iterator it(m_handle->path, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::error_code kind;
    if (it->is_directory(kind) && !it->is_symlink(kind)) continue;
    if (pick(base::Utf8FromPath(it->path().filename()))) files.push_back(it->path());
  }
  if (ec) {
    error = "cannot list " + m_path + ": " + ec.message();
    return false;
  }
  for (const auto& file : files) {
    std::filesystem::remove(file, ec);
    if (ec) {
      error = "cannot delete " + base::Utf8FromPath(file) + ": " + ec.message();
      return false;
    }
  }
  return true;
}

// Previews are made anew at each regeneration here: nothing tells their source.
std::string FileIdentity(std::FILE*) {
  return {};
}

std::string WebFolder::SourceOf(std::string_view) const {
  return {};
}

bool WebFolder::WriteFile(std::string_view name, std::span<const std::uint8_t> bytes,
                          std::string& error, std::string_view) {
  auto file = base::AtomicFile::Create(m_handle->path / base::PathFromUtf8(name), error);
  if (file && !file->Sink().Write(bytes)) error = file->WriteError();
  if (file && error.empty() && file->Commit(error)) return true;
  error = "cannot write " + m_path + std::string(name) + (error.empty() ? "" : ": " + error);
  return false;
}

}  // namespace webview

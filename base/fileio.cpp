#include "base/fileio.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <random>
#include <set>

#include "base/text.h"

namespace base {
namespace {

constexpr std::size_t kCopyBufferSize = 1 << 18;

bool Seek(std::FILE* file, std::int64_t offset) {
#ifdef _WIN32
  return _fseeki64(file, offset, SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

constexpr std::string_view kTemporaryPrefix = ".lb";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kTemporaryDigits = 8;

// Stale temporary files are looked for once per folder and process: an extraction of many
// items into a large folder must not list it again for each.
void RemoveStaleOnce(const std::filesystem::path& folder) {
  static std::mutex mutex;
  static std::set<std::filesystem::path> done;
  std::error_code ec;
  std::filesystem::path key = std::filesystem::absolute(folder.empty() ? "." : folder, ec);
  if (ec) key = folder;
  {
    const std::lock_guard lock(mutex);
    if (!done.insert(key).second) return;
  }
  (void)RemoveStaleTemporaryFiles(key);
}

}  // namespace

std::string NumberedName(std::string_view name, int n, std::size_t limit) {
  const auto dot = name.rfind('.');
  const bool hasExtension = dot != std::string_view::npos && dot > 0;
  std::string_view stem = hasExtension ? name.substr(0, dot) : name;
  std::string_view extension = hasExtension ? name.substr(dot) : std::string_view();
  const std::string number = n < 2 ? std::string() : " (" + std::to_string(n) + ")";
  // An extension too long to keep beside at least one character of the stem is cut like one.
  if (extension.size() + number.size() >= limit) {
    stem = name;
    extension = {};
  }
  const std::size_t room =
      limit > number.size() + extension.size() ? limit - number.size() - extension.size() : 0;
  return std::string(CutUtf8(stem, room)) + number + std::string(extension);
}

std::filesystem::path FreePath(const std::filesystem::path& folder, std::string_view name,
                               int first,
                               const std::function<bool(const std::filesystem::path&)>& taken) {
  const std::size_t limit = NameLimit(folder);
  for (int n = first;; ++n) {
    std::filesystem::path path = folder / PathFromUtf8(NumberedName(name, n, limit));
    if (!NameTaken(path) && !(taken && taken(path))) return path;
  }
}

bool IsTemporaryName(std::string_view name) {
  if (name.size() != kTemporaryPrefix.size() + kTemporaryDigits + kTemporarySuffix.size() ||
      !name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix)) {
    return false;
  }
  const std::string_view digits = name.substr(kTemporaryPrefix.size(), kTemporaryDigits);
  return std::all_of(digits.begin(), digits.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::string LastErrorText() {
  return std::strerror(errno);
}

bool MemorySource::ReadAt(std::int64_t offset, std::span<std::uint8_t> out) {
  if (offset < 0 || offset > Size() || static_cast<std::int64_t>(out.size()) > Size() - offset) {
    return false;
  }
  std::copy_n(m_data.begin() + static_cast<std::ptrdiff_t>(offset), out.size(), out.begin());
  return true;
}

bool MemorySink::Write(std::span<const std::uint8_t> data) {
  m_data.insert(m_data.end(), data.begin(), data.end());
  return true;
}

FileHandle OpenFile(const std::filesystem::path& path, const char* mode, std::string& error) {
  errno = 0;
#ifdef _WIN32
  std::wstring wideMode(mode, mode + std::strlen(mode));
  FileHandle file(_wfopen(path.c_str(), wideMode.c_str()));
#else
  FileHandle file(std::fopen(path.c_str(), mode));
#endif
  if (!file) error = errno != 0 ? LastErrorText() : "cannot open file";
  return file;
}

std::unique_ptr<FileSource> FileSource::Open(const std::filesystem::path& path,
                                             std::string& error) {
  FileHandle file = OpenRegularFile(path, error);
  if (!file) return nullptr;
  const std::int64_t size = StreamSize(file.get());
  if (size < 0) {
    error = LastErrorText();
    return nullptr;
  }
  return std::unique_ptr<FileSource>(new FileSource(std::move(file), size, path));
}

bool FileSource::ReadAt(std::int64_t offset, std::span<std::uint8_t> out) {
  if (offset < 0 || offset > m_size || static_cast<std::int64_t>(out.size()) > m_size - offset) {
    return false;
  }
  if (offset != m_position && !Seek(m_file.get(), offset)) {
    m_position = -1;
    return false;
  }
  const std::size_t got = std::fread(out.data(), 1, out.size(), m_file.get());
  m_position = got == out.size() ? offset + static_cast<std::int64_t>(got) : -1;
  return got == out.size();
}

bool FileSink::Write(std::span<const std::uint8_t> data) {
  errno = 0;
  if (std::fwrite(data.data(), 1, data.size(), m_file) == data.size()) return true;
  if (m_error.empty()) m_error = errno != 0 ? LastErrorText() : "write error";
  return false;
}

std::int64_t CopyInKernel(std::FILE* from, std::int64_t offset, std::int64_t count, std::FILE* to) {
  KernelCopy copy(from, offset, count, to);
  copy.Run();
  return copy.Finish();
}

CopyResult CopyRange(ByteSource& from, std::int64_t offset, std::int64_t count, ByteSink& to) {
  if (count < 0) return CopyResult::ReadFailed;
  if (std::FILE* in = from.Stream(); in && to.Stream() && count > 0) {
    const std::int64_t copied = CopyInKernel(in, offset, count, to.Stream());
    offset += copied;
    count -= copied;
  }
  if (count == 0) return CopyResult::Ok;
  std::vector<std::uint8_t> buffer(
      static_cast<std::size_t>(std::min<std::int64_t>(count, kCopyBufferSize)));
  while (count > 0) {
    const auto chunk = static_cast<std::size_t>(std::min<std::int64_t>(count, kCopyBufferSize));
    const std::span<std::uint8_t> part(buffer.data(), chunk);
    if (!from.ReadAt(offset, part)) return CopyResult::ReadFailed;
    if (!to.Write(part)) return CopyResult::WriteFailed;
    offset += static_cast<std::int64_t>(chunk);
    count -= static_cast<std::int64_t>(chunk);
  }
  return CopyResult::Ok;
}

AtomicFile::AtomicFile(std::filesystem::path target, std::filesystem::path temp, FileHandle file)
    : m_target(std::move(target)),
      m_temp(std::move(temp)),
      m_file(std::move(file)),
      m_sink(m_file.get()) {}

std::unique_ptr<AtomicFile> AtomicFile::Create(const std::filesystem::path& target,
                                               std::string& error) {
  RemoveStaleOnce(target.parent_path());
  std::random_device seed;
  std::mt19937 random(seed());
  static constexpr char kHex[] = "0123456789abcdef";
  for (int attempt = 0; attempt < 16; ++attempt) {
    // Always 15 bytes, whatever the target's name.
    std::string name(kTemporaryPrefix);
    for (std::size_t i = 0; i < kTemporaryDigits; ++i) name += kHex[random() % 16];
    name += kTemporarySuffix;
    const std::filesystem::path temp = target.parent_path() / name;
    // Known to the signal handler before it exists, so that no moment leaves it behind.
    const int slot = RememberTemporaryFile(temp);
    FileHandle file = CreateNewFile(temp, error);
    if (!file) {
      ForgetTemporaryFile(slot);
      if (error == std::strerror(EEXIST)) continue;
      return nullptr;
    }
    std::setvbuf(file.get(), nullptr, _IOFBF, kCopyBufferSize);
    auto created = std::unique_ptr<AtomicFile>(new AtomicFile(target, temp, std::move(file)));
    created->m_slot = slot;
    return created;
  }
  error = "no free temporary name";
  return nullptr;
}

AtomicFile::~AtomicFile() {
  if (!m_committed) {
    m_file.reset();
    std::error_code ec;
    std::filesystem::remove(m_temp, ec);
  }
  ForgetTemporaryFile(m_slot);
}

bool AtomicFile::Commit(std::string& error, Replace replace) {
  return CommitAs(m_target, error, replace);
}

bool AtomicFile::CommitAs(const std::filesystem::path& target, std::string& error,
                          Replace replace) {
  m_targetExisted = false;
  if (m_committed) return false;
  if (m_file) {
    errno = 0;
    const bool flushed = std::fflush(m_file.get()) == 0 && !std::ferror(m_file.get());
    if (!flushed) error = !m_sink.Error().empty() ? m_sink.Error() : LastErrorText();
    const bool closed = std::fclose(m_file.release()) == 0;
    if (flushed && !closed) error = LastErrorText();
    // A file that could not be written whole is never put in place, under any name.
    if (!flushed || !closed) {
      m_failed = true;
      return false;
    }
  }
  if (m_failed) return false;
  if (replace == Replace::Never) {
    if (!RenameNoReplace(m_temp, target, m_targetExisted, error)) return false;
  } else {
    std::error_code ec;
    std::filesystem::rename(m_temp, target, ec);
    if (ec) {
      error = ec.message();
      return false;
    }
  }
  m_committed = true;
  return true;
}

bool PatchFile(const std::filesystem::path& path, std::int64_t offset,
               std::span<const std::uint8_t> data) {
  std::string error;
  FileHandle file = OpenFile(path, "r+b", error);
  if (!file || !Seek(file.get(), offset)) return false;
  if (std::fwrite(data.data(), 1, data.size(), file.get()) != data.size()) return false;
  return std::fclose(file.release()) == 0;
}

}  // namespace base

namespace base {

std::filesystem::path PathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

}  // namespace base

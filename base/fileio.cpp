#include "base/fileio.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

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

std::int64_t Tell(std::FILE* file) {
#ifdef _WIN32
  return _ftelli64(file);
#else
  return static_cast<std::int64_t>(ftello(file));
#endif
}

}  // namespace

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
  if (std::fseek(file.get(), 0, SEEK_END) != 0) {
    error = LastErrorText();
    return nullptr;
  }
  const std::int64_t size = Tell(file.get());
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

CopyResult CopyRange(ByteSource& from, std::int64_t offset, std::int64_t count, ByteSink& to) {
  if (count < 0) return CopyResult::ReadFailed;
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
  std::random_device seed;
  std::mt19937 random(seed());
  static constexpr char kHex[] = "0123456789abcdef";
  for (int attempt = 0; attempt < 16; ++attempt) {
    // Always 15 bytes, whatever the target's name.
    std::string name = ".lb";
    for (int i = 0; i < 8; ++i) name += kHex[random() % 16];
    name += ".tmp";
    const std::filesystem::path temp = target.parent_path() / name;
    FileHandle file = CreateNewFile(temp, error);
    if (!file) {
      if (error == std::strerror(EEXIST)) continue;
      return nullptr;
    }
    std::setvbuf(file.get(), nullptr, _IOFBF, kCopyBufferSize);
    return std::unique_ptr<AtomicFile>(new AtomicFile(target, temp, std::move(file)));
  }
  error = "no free temporary name";
  return nullptr;
}

AtomicFile::~AtomicFile() {
  if (m_committed) return;
  m_file.reset();
  std::error_code ec;
  std::filesystem::remove(m_temp, ec);
}

bool AtomicFile::Commit(std::string& error, Replace replace) {
  errno = 0;
  const bool flushed = std::fflush(m_file.get()) == 0 && !std::ferror(m_file.get());
  if (!flushed) error = !m_sink.Error().empty() ? m_sink.Error() : LastErrorText();
  const bool closed = std::fclose(m_file.release()) == 0;
  if (flushed && !closed) error = LastErrorText();
  if (!flushed || !closed) return false;
  if (replace == Replace::Never) {
    if (!RenameNoReplace(m_temp, m_target, m_targetExisted, error)) return false;
  } else {
    std::error_code ec;
    std::filesystem::rename(m_temp, m_target, ec);
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

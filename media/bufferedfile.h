#pragma once
// A read-only file read through one large buffer, for libmpg123's reader callbacks: the
// decoder asks for a frame header and body at a time (a few hundred bytes), which would
// otherwise cost a system call each.

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace media {

/// Why a read failed.
enum class FileFault { None, Shrank, ReadError };

class BufferedFile {
 public:
  static constexpr std::size_t kBufferSize = 256 * 1024;
  /// A fill's size until the file is read on: opening a file for its format or length reads
  /// little of it.
  static constexpr std::size_t kFirstFill = 16 * 1024;

  /// Nothing when the file cannot be opened for reading (or is not a regular file).
  static std::unique_ptr<BufferedFile> Open(const std::filesystem::path& path);
  ~BufferedFile();
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;

  /// Up to `size` bytes at the current offset; 0 at the end, -1 on a read error. A file that
  /// ends before the size it had when opened was cut short: that is a read error too.
  std::ptrdiff_t Read(void* out, std::size_t size);
  /// Why the last failed read failed (None while none has).
  FileFault Fault() const { return m_fault.load(); }
  /// Whether the file is now shorter than when it was opened. Safe on any thread.
  bool Shrank() const;
  /// Forgets the buffered bytes: the next read comes from the file as it is now.
  void Refresh() { m_bufferFill = 0; }
  /// Moves the offset as lseek does (SEEK_SET, SEEK_CUR, SEEK_END); the new offset or -1.
  off_t Seek(off_t offset, int whence);
  /// The file's size in bytes when it was opened.
  std::int64_t Size() const { return m_size; }

  /// libmpg123's reader callbacks over a BufferedFile* handle.
  static ssize_t ReadCallback(void* handle, void* out, std::size_t size);
  static off_t SeekCallback(void* handle, off_t offset, int whence);

 private:
  BufferedFile(int fd, std::int64_t size) : m_fd(fd), m_size(size) {}
  bool Fill();

  int m_fd;
  std::int64_t m_size;
  std::unique_ptr<std::uint8_t[]> m_buffer;  // not cleared: every byte used was read
  std::size_t m_bufferSize = 0;
  std::int64_t m_bufferOffset = 0;  ///< file offset of m_buffer[0]
  std::size_t m_bufferFill = 0;     ///< valid bytes in m_buffer
  std::int64_t m_offset = 0;        ///< the reader's offset
  std::atomic<FileFault> m_fault{FileFault::None};
};

}  // namespace media

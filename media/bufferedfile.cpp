#include "media/bufferedfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace media {

std::unique_ptr<BufferedFile> BufferedFile::Open(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<BufferedFile>(new BufferedFile(fd, info.st_size));
}

BufferedFile::~BufferedFile() {
  ::close(m_fd);
}

bool BufferedFile::Shrank() const {
  struct stat info {};
  return ::fstat(m_fd, &info) == 0 && info.st_size < m_size;
}

bool BufferedFile::Fill() {
  // Small until the file is read on from where the last fill ended: a length query or a
  // format probe reads a few frames here and there (the tags at the end, the first frames),
  // playing reads it all.
  const bool readingOn =
      m_bufferFill > 0 && m_offset == m_bufferOffset + static_cast<std::int64_t>(m_bufferFill);
  const std::size_t want = readingOn ? kBufferSize : kFirstFill;
  if (m_bufferSize < want) {
    m_buffer.reset(new std::uint8_t[want]);
    m_bufferSize = want;
  }
  ssize_t got;
  do {
    // pread keeps the descriptor's own offset out of the picture: seeks cost no system call.
    got = ::pread(m_fd, m_buffer.get(), want, m_offset);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    m_fault = FileFault::ReadError;
    return false;
  }
  if (got == 0 && m_offset < m_size) {
    m_fault = FileFault::Shrank;
    return false;
  }
  m_bufferOffset = m_offset;
  m_bufferFill = static_cast<std::size_t>(got);
  return true;
}

std::ptrdiff_t BufferedFile::Read(void* out, std::size_t size) {
  auto* to = static_cast<std::uint8_t*>(out);
  std::size_t done = 0;
  while (done < size) {
    const std::int64_t end = m_bufferOffset + static_cast<std::int64_t>(m_bufferFill);
    if (m_offset < m_bufferOffset || m_offset >= end) {
      if (!Fill()) return done > 0 ? static_cast<std::ptrdiff_t>(done) : -1;
      if (m_bufferFill == 0) break;  // end of file
      continue;
    }
    const auto at = static_cast<std::size_t>(m_offset - m_bufferOffset);
    const std::size_t n = std::min(size - done, m_bufferFill - at);
    std::memcpy(to + done, m_buffer.get() + at, n);
    done += n;
    m_offset += static_cast<std::int64_t>(n);
  }
  return static_cast<std::ptrdiff_t>(done);
}

off_t BufferedFile::Seek(off_t offset, int whence) {
  std::int64_t base = 0;
  if (whence == SEEK_CUR) {
    base = m_offset;
  } else if (whence == SEEK_END) {
    base = m_size;
  } else if (whence != SEEK_SET) {
    return -1;
  }
  const std::int64_t to = base + offset;
  if (to < 0) return -1;
  m_offset = to;
  return static_cast<off_t>(to);
}

ssize_t BufferedFile::ReadCallback(void* handle, void* out, std::size_t size) {
  return static_cast<ssize_t>(static_cast<BufferedFile*>(handle)->Read(out, size));
}

off_t BufferedFile::SeekCallback(void* handle, off_t offset, int whence) {
  return static_cast<BufferedFile*>(handle)->Seek(offset, whence);
}

}  // namespace media

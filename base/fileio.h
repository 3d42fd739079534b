#pragma once
// Thin file access, so that the format code runs on memory buffers in tests.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace base {

/// Random read access to a file or a buffer.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::int64_t Size() const = 0;
  /// Fills `out` from `offset`; false when not every byte could be read.
  [[nodiscard]] virtual bool ReadAt(std::int64_t offset, std::span<std::uint8_t> out) = 0;
  /// True when the bytes come from the file at `path`, so that nothing is written over them.
  virtual bool IsFile(const std::filesystem::path& /*path*/) const { return false; }
  /// The open file behind the bytes, for copies inside the kernel; null for other sources.
  virtual std::FILE* Stream() const { return nullptr; }
};

/// Sequential output.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  [[nodiscard]] virtual bool Write(std::span<const std::uint8_t> data) = 0;
  /// Why the first failed write failed, in the system's words; empty where nothing says.
  virtual std::string WriteError() const { return {}; }
  /// The open file the bytes go to, for copies inside the kernel; null for other sinks.
  virtual std::FILE* Stream() const { return nullptr; }
};

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::vector<std::uint8_t> data) : m_data(std::move(data)) {}
  std::int64_t Size() const override { return static_cast<std::int64_t>(m_data.size()); }
  bool ReadAt(std::int64_t offset, std::span<std::uint8_t> out) override;
  std::vector<std::uint8_t>& Data() { return m_data; }

 private:
  std::vector<std::uint8_t> m_data;
};

class MemorySink final : public ByteSink {
 public:
  bool Write(std::span<const std::uint8_t> data) override;
  const std::vector<std::uint8_t>& Data() const { return m_data; }

 private:
  std::vector<std::uint8_t> m_data;
};

/// An open C stream, closed on destruction.
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

/// Opens a file with a C mode string ("rb", "wb", "r+b"); sets `error` on failure.
FileHandle OpenFile(const std::filesystem::path& path, const char* mode, std::string& error);

/// Opens an existing regular file for reading. Anything else (a folder, a FIFO, a device) is
/// refused without waiting on it, with the reason in `error`.
FileHandle OpenRegularFile(const std::filesystem::path& path, std::string& error);

/// Creates a file that must not exist yet (nor be a symlink) and opens it for writing.
FileHandle CreateNewFile(const std::filesystem::path& path, std::string& error);

/// The reason OpenRegularFile gives for a file that is not a regular file.
inline constexpr std::string_view kNotRegularFile = "not a regular file";

/// Moves `from` to `to` unless `to` exists (also when it appeared a moment ago). `exists` tells
/// that case apart from other failures.
[[nodiscard]] bool RenameNoReplace(const std::filesystem::path& from,
                                   const std::filesystem::path& to, bool& exists,
                                   std::string& error);

/// True when `a` and `b` name the same file (device and inode); false when either is missing.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

/// True when something (a file, a folder, even a dangling symlink) has the name `path`.
bool NameTaken(const std::filesystem::path& path);

/// False when `path` is a file the user may not write (no write permission for them; for the
/// superuser, no write bit at all): a file made read-only is not replaced. True otherwise.
bool MayReplace(const std::filesystem::path& path);

/// The longest file name, in bytes, that `folder` takes (255 where the system does not say).
std::size_t NameLimit(const std::filesystem::path& folder);

/// `name` itself (n < 2) or "NAME (n).ext", cut to at most `limit` bytes where it is longer:
/// the stem loses its last characters (never half of a UTF-8 one), the extension and " (n)"
/// stay.
std::string NumberedName(std::string_view name, int n, std::size_t limit = 255);

/// The first of NumberedName(name, first), NumberedName(name, first + 1), ... inside `folder`,
/// fitted to the folder's name limit, that names nothing yet and that `taken` does not claim.
std::filesystem::path FreePath(const std::filesystem::path& folder, std::string_view name,
                               int first = 2,
                               const std::function<bool(const std::filesystem::path&)>& taken = {});

/// A file opened read-only; the file is never created.
class FileSource final : public ByteSource {
 public:
  /// Nothing on failure, with the system's reason in `error`.
  static std::unique_ptr<FileSource> Open(const std::filesystem::path& path, std::string& error);
  std::int64_t Size() const override { return m_size; }
  bool ReadAt(std::int64_t offset, std::span<std::uint8_t> out) override;
  bool IsFile(const std::filesystem::path& path) const override { return SameFile(m_path, path); }
  std::FILE* Stream() const override { return m_file.get(); }

 private:
  FileSource(FileHandle file, std::int64_t size, std::filesystem::path path)
      : m_file(std::move(file)), m_size(size), m_path(std::move(path)) {}
  FileHandle m_file;
  std::int64_t m_size;
  std::int64_t m_position = -1;  // where the stream stands, to save seeks on sequential reads
  std::filesystem::path m_path;
};

class FileSink final : public ByteSink {
 public:
  explicit FileSink(std::FILE* file) : m_file(file) {}
  bool Write(std::span<const std::uint8_t> data) override;
  /// The system's reason for the first failed write (empty while none failed).
  const std::string& Error() const { return m_error; }
  std::string WriteError() const override { return m_error; }
  std::FILE* Stream() const override { return m_file; }

 private:
  std::FILE* m_file;
  std::string m_error;
};

enum class CopyResult { Ok, ReadFailed, WriteFailed };

/// Copies `count` bytes from `offset` of `from` into `to`, telling which side failed. Between
/// two files the kernel copies where the file system can; read and write do the rest.
[[nodiscard]] CopyResult CopyRange(ByteSource& from, std::int64_t offset, std::int64_t count,
                                   ByteSink& to);

/// Copies up to `count` bytes from `offset` of `from` to the position of `to` inside the kernel
/// and moves `to` past them; the bytes copied. Stops early (at once where the system cannot
/// copy between the two, and always on Windows) and leaves the rest to the caller.
std::int64_t CopyInKernel(std::FILE* from, std::int64_t offset, std::int64_t count, std::FILE* to);

/// CopyInKernel in three steps, so that the copy itself may run on another thread: the
/// constructor and Finish() use the streams, Run() only their descriptors with explicit
/// offsets, so it moves neither stream nor the descriptors' own offsets.
class KernelCopy {
 public:
  KernelCopy(std::FILE* from, std::int64_t offset, std::int64_t count, std::FILE* to);
  /// False where the system never copies inside the kernel (Windows).
  static bool Supported();
  /// Copies what the kernel can (nothing on Windows).
  void Run();
  /// Moves `to` past the bytes copied and returns their number; the caller copies the rest.
  [[nodiscard]] std::int64_t Finish();

 private:
  std::FILE* m_to;
  int m_fromDescriptor = -1;
  int m_toDescriptor = -1;
  std::int64_t m_offset;
  std::int64_t m_count;
  std::int64_t m_start = -1;  // where `to` stood; -1: no copy
  std::int64_t m_done = 0;
};

/// The size of the open file behind `file`, from the system's own record (no seek, no read);
/// -1 when it cannot tell.
std::int64_t StreamSize(std::FILE* file);

/// `size` bytes, not cleared, for a read to fill: large buffers get their pages in one call
/// beforehand instead of a page fault for each page the read writes.
std::unique_ptr<std::uint8_t[]> ReadBuffer(std::size_t size);

/// Whether a commit may replace a file that exists at the target.
enum class Replace { Never, Allowed };

/// A new file written beside its target (under a short name of fixed length, so that any target
/// name that fits the folder fits) and moved into place only when complete. Until Commit()
/// succeeds the target is untouched; an uncommitted file is removed on destruction. A symlink at
/// the target is replaced, never written through.
class AtomicFile {
 public:
  /// Nothing on failure, with the reason in `error`.
  static std::unique_ptr<AtomicFile> Create(const std::filesystem::path& target,
                                            std::string& error);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  ByteSink& Sink() { return m_sink; }
  /// The system's reason for the first failed write of the sink.
  const std::string& WriteError() const { return m_sink.Error(); }
  /// Flushes, closes and renames onto the target. With Replace::Never a file at the target
  /// (even one that appeared after Create) is left alone and the commit fails with
  /// TargetExisted() true.
  [[nodiscard]] bool Commit(std::string& error, Replace replace = Replace::Allowed);
  /// The same onto another name in the same folder; after a failed commit it may be tried
  /// again under another name.
  [[nodiscard]] bool CommitAs(const std::filesystem::path& target, std::string& error,
                              Replace replace);
  bool TargetExisted() const { return m_targetExisted; }

 private:
  AtomicFile(std::filesystem::path target, std::filesystem::path temp, FileHandle file);
  std::filesystem::path m_target;
  std::filesystem::path m_temp;
  FileHandle m_file;
  FileSink m_sink;
  int m_slot = -1;  // where the signal handler finds the temporary name
  bool m_committed = false;
  bool m_failed = false;  // the data did not reach the disk whole
  bool m_targetExisted = false;
};

/// True for the names AtomicFile gives its temporary files (".lb" + 8 hex digits + ".tmp").
bool IsTemporaryName(std::string_view name);

/// Removes from `folder` the temporary files of runs that were killed: regular files of this
/// user with a temporary name, last written more than a day ago. Returns how many went.
/// AtomicFile::Create does this once per folder and process.
std::size_t RemoveStaleTemporaryFiles(const std::filesystem::path& folder);

/// A function safe to run in a signal handler.
using SignalHandler = void (*)(int);

/// While one lives, SIGINT, SIGTERM and SIGHUP, the signals that ask a run to end, go to
/// `handler` (the three blocked while it runs); the handlers before come back when it goes.
/// Nothing on Windows.
class SignalScope {
 public:
  explicit SignalScope(SignalHandler handler);
  ~SignalScope();
  SignalScope(const SignalScope&) = delete;
  SignalScope& operator=(const SignalScope&) = delete;

 private:
  void* m_previous = nullptr;  // the handlers to restore
};

/// While one lives, SIGINT, SIGTERM and SIGHUP remove the temporary file of every AtomicFile
/// not yet committed and then end the program as the signal would have (nothing on Windows).
class RemoveTemporaryFilesOnSignals {
 public:
  RemoveTemporaryFilesOnSignals();

 private:
  SignalScope m_scope;
};

/// Keeps the temporary name `temp` where the signal handler finds it; the slot, or -1 when all
/// are in use. Released with ForgetTemporaryFile.
int RememberTemporaryFile(const std::filesystem::path& temp);
void ForgetTemporaryFile(int slot);

/// Overwrites bytes of an existing file in place through a separate write access.
[[nodiscard]] bool PatchFile(const std::filesystem::path& path, std::int64_t offset,
                             std::span<const std::uint8_t> data);

/// The system's description of the last C library error.
std::string LastErrorText();

}  // namespace base

namespace base {

/// A path from a UTF-8 text, and back.
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace base

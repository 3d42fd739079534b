#include "media/bufferedfile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/support/testsupport.h"

namespace media {
namespace {

// Reads and seeks across the buffer's edges give the file's bytes, as a plain file would.
TEST(BufferedFile, ReadsAndSeeksLikeTheFile) {
  testsupport::ScopedTempDir dir;
  const testsupport::Bytes data = testsupport::Pattern(BufferedFile::kBufferSize * 2 + 1000, 7);
  testsupport::WriteFile(dir / "data", data);
  auto file = BufferedFile::Open(dir / "data");
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Size(), static_cast<std::int64_t>(data.size()));

  const std::int64_t size = file->Size();
  const std::int64_t edge = BufferedFile::kBufferSize;
  const struct {
    off_t offset;
    int whence;
    std::size_t length;
    std::int64_t expectedAt;
  } steps[] = {
      {0, SEEK_SET, 100, 0},                 // start
      {edge - 10, SEEK_SET, 30, edge - 10},  // across the first edge
      {-50, SEEK_CUR, 10, edge - 30},        // back into the first buffer
      {5, SEEK_CUR, 2 * edge, edge - 15},    // longer than a buffer, to the end
      {-20, SEEK_END, 100, size - 20},       // short read at the end
      {10, SEEK_END, 10, size + 10},         // beyond the end: nothing
      {0, SEEK_SET, 0, 0},                   // an empty read
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.expectedAt);
    ASSERT_EQ(file->Seek(step.offset, step.whence), step.expectedAt);
    std::vector<std::uint8_t> got(step.length);
    const std::ptrdiff_t n = file->Read(got.data(), got.size());
    const std::int64_t available = std::max<std::int64_t>(size - step.expectedAt, 0);
    ASSERT_EQ(n, std::min<std::int64_t>(static_cast<std::int64_t>(step.length), available));
    if (n > 0) {
      EXPECT_TRUE(std::equal(got.begin(), got.begin() + n, data.begin() + step.expectedAt));
    }
  }
  EXPECT_EQ(file->Seek(-1, SEEK_SET), -1);
  EXPECT_EQ(file->Seek(0, 42), -1);
}

TEST(BufferedFile, RefusesWhatIsNoRegularFile) {
  testsupport::ScopedTempDir dir;
  EXPECT_FALSE(BufferedFile::Open(dir / "missing"));
  EXPECT_FALSE(BufferedFile::Open(dir.path()));
}

}  // namespace
}  // namespace media

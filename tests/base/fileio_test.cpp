#include "base/fileio.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/bytes.h"
#include "tests/support/testsupport.h"

namespace base {
namespace {

using testsupport::Pattern;
using testsupport::ReadFile;
using testsupport::ScopedTempDir;

TEST(AtomicFile, ReplacesOnlyWhenAllowedAndFitsAnyNameThatFits) {
  ScopedTempDir dir;
  const std::string longName = std::string(250, 'n') + ".mp3";  // 254 bytes
  const struct {
    std::string name;
    bool existing;
    Replace replace;
    bool committed;
  } cases[] = {
      {"new.mp3", false, Replace::Never, true},
      {"old.mp3", true, Replace::Never, false},
      {"old2.mp3", true, Replace::Allowed, true},
      {longName, false, Replace::Never, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.size() > 20 ? "long name" : c.name);
    const auto target = dir / c.name;
    if (c.existing) testsupport::WriteText(target, "kept");
    std::string error;
    auto file = AtomicFile::Create(target, error);
    ASSERT_TRUE(file) << error;
    const Bytes data = Pattern(1000);
    ASSERT_TRUE(file->Sink().Write(data));
    EXPECT_EQ(file->Commit(error, c.replace), c.committed) << error;
    EXPECT_EQ(file->TargetExisted(), c.existing && !c.committed);
    EXPECT_EQ(ReadFile(target), c.committed ? data : testsupport::BytesOf("kept"));
    file.reset();
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      EXPECT_NE(entry.path().extension(), ".tmp") << "an unfinished file stayed";
    }
  }
}

}  // namespace
}  // namespace base

// The replacement of a file as a transaction: the name holds the old bytes until the commit and
// all of the new ones after it, and a replacement that ends without a commit leaves nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <set>
#include <string>

#include "replacement_cases.hpp"
#include "scratch_directory.hpp"
#include "textio/file_replacement.hpp"
#include "textio/status.hpp"

namespace textio {
namespace {

class ReplacementTransactionTest : public ScratchDirectoryTest {};

void write_text(const FileReplacement& replacement, const std::string& text) {
  ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), replacement.stream()), text.size());
}

TEST_F(ReplacementTransactionTest, TheNameHoldsOldOrWholeNewContent) {
  struct Case {
    const char* name;
    std::optional<std::string> old_bytes;
    ReplacementOptions options;
    bool commit;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"Committed", "old", {}, true, "new"},
      {"CommittedWithoutSync", "old", {.durable = false}, true, "new"},
      {"NotCommitted", "old", {}, false, "old"},
      {"NewFileCommitted", std::nullopt, {.only_where_absent = true}, true, "new"},
      {"NewFileNotCommitted", std::nullopt, {}, false, std::nullopt},
      {"AppendedToACopy", "old", {.copy_contents = true}, true, "oldnew"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.old_bytes) put_file("data.txt", *c.old_bytes);
    {
      FileReplacement replacement;
      ASSERT_EQ(replacement.begin("data.txt", c.options), 0);
      if (c.options.copy_contents) std::fseek(replacement.stream(), 0, SEEK_END);
      write_text(replacement, "new");
      EXPECT_EQ(existing_bytes("data.txt"), c.old_bytes);
      if (c.commit) {
        EXPECT_EQ(replacement.commit(), 0);
      }
    }
    EXPECT_EQ(existing_bytes("data.txt"), c.expected);
    const std::set<std::string> left =
        c.expected ? std::set<std::string>{"data.txt"} : std::set<std::string>{};
    EXPECT_EQ(directory_names(), left);
    std::filesystem::remove("data.txt");
  }
}

// A file that takes an absent name never replaces one that appeared meanwhile: the new content
// stays under its temporary name, and the commit says so.
TEST_F(ReplacementTransactionTest, AFileThatAppearedMeanwhileIsKept) {
  FileReplacement replacement;
  ASSERT_EQ(replacement.begin("data.txt", {.only_where_absent = true}), 0);
  write_text(replacement, "new");
  const std::string temporary = replacement.written_path();
  put_file("data.txt", "other");
  EXPECT_EQ(replacement.commit(), kErrNewFileExists);
  EXPECT_EQ(existing_bytes("data.txt"), "other");
  EXPECT_EQ(existing_bytes(temporary), "new");
}

TEST_F(ReplacementTransactionTest, ADirectoryIsRefusedAndNothingIsLeft) {
  std::filesystem::create_directory("data.txt");
  FileReplacement replacement;
  EXPECT_NE(replacement.begin("data.txt"), 0);
  EXPECT_FALSE(replacement.pending());
  EXPECT_EQ(directory_names(), std::set<std::string>{"data.txt"});
}

}  // namespace
}  // namespace textio

// The table files in-process: creating, and giving up a failed run's tables. What only this level
// shows: a file replaced under the table's name between opening and removing, on every platform.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tables/response_table.h"
#include "test_support.h"

namespace quodrel {
namespace {

using namespace test;
namespace fs = std::filesystem;

TEST(ResponseTable, AnIncompleteTableIsRemovedOnlyWhileItsNameLeadsToIt) {
  ScratchDir dir;
  const std::string name = dir.path("pk.txt");
  write_file(name, "an older table");
  ResponseTable table = open_table(name);
  ASSERT_EQ(table.error, "");
  EXPECT_EQ(read_file(name), "") << "not emptied";
  std::string reason;
  EXPECT_EQ(remove_incomplete_table(table, reason), Removal::removed);
  EXPECT_FALSE(file_exists(name));

  // Another file has taken the name since the run opened it: that file is not the run's to remove.
  ResponseTable replaced = open_table(name);
  ASSERT_EQ(replaced.error, "");
  replaced.file.reset();
  write_file(dir.path("other.txt"), "someone else's");
  fs::rename(dir.path("other.txt"), name);
  EXPECT_EQ(remove_incomplete_table(replaced, reason), Removal::not_needed);
  EXPECT_EQ(read_file(name), "someone else's");

  // A table that was never opened has nothing to remove, even where its name leads to a file.
  ResponseTable missing = open_table(dir.path("no/such/folder/pk.txt"));
  EXPECT_NE(missing.error, "");
  EXPECT_EQ(remove_incomplete_table(missing, reason), Removal::not_needed);
  ResponseTable first = open_table(dir.path("a.txt"));
  ResponseTable refused = open_table(dir.path("./a.txt"), &first);
  EXPECT_EQ(refused.error, "names the same file as " + dir.path("a.txt"));
  EXPECT_EQ(remove_incomplete_table(refused, reason), Removal::not_needed);
  EXPECT_TRUE(file_exists(dir.path("a.txt")));
}

}  // namespace
}  // namespace quodrel

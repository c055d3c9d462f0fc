// The operating-system layer where systems differ: files are bytes, never text; a file is
// replaced while others hold it open; a sequential file is read whole between flushes. Each test
// once caught a fault of the Windows build.
#include "os/os.hpp"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "textio/program_state.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/temporary_file.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace {

namespace fs = std::filesystem;

std::string bytes_of(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void put(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

#ifdef _WIN32
// Under wine, the same folder through another drive letter: Z:, which wine maps to the root of
// the Unix file system. Nothing on Windows itself.
std::optional<std::string> through_unix_root(const std::string& name) {
  using ToUnix = char* (*)(const wchar_t*);
  const auto to_unix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (to_unix == nullptr) return std::nullopt;
  char* unix_name = to_unix(fs::absolute(name).wstring().c_str());
  if (unix_name == nullptr) return std::nullopt;
  std::string path = std::string("Z:") + unix_name;
  HeapFree(GetProcessHeap(), 0, unix_name);
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}
#endif

class OsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    textio::reset_program_state();
    directory_ = fs::temp_directory_path() /
                 ("os_" + std::to_string(os::process_id()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(directory_);
    fs::create_directories(directory_);
    previous_ = fs::current_path();
    fs::current_path(directory_);
  }
  void TearDown() override {
    textio::close_all_units();
    fs::current_path(previous_);
    fs::remove_all(directory_);
  }

 private:
  fs::path directory_;
  fs::path previous_;
};

// Line ends and every other byte go to the file and come back as they are, whatever the way in.
TEST_F(OsTest, FilesHoldTheirBytesAsWritten) {
  const std::string bytes = std::string("a\r\nb\nc\r\r\n\x1a", 11) + std::string(1, '\0') + "end";
  int status = 0;
  std::FILE* file = os::open_file("raw", "wb", status);
  ASSERT_NE(file, nullptr) << status;
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  EXPECT_EQ(bytes_of("raw"), bytes);
  file = os::open_file("raw", "rb", status);
  ASSERT_NE(file, nullptr) << status;
  std::string read(bytes.size() + 1, '?');
  EXPECT_EQ(std::fread(read.data(), 1, read.size(), file), bytes.size());
  std::fclose(file);

  // Two direct-access records of 82 bytes are 164 bytes, at the offsets of their numbers.
  const textio::OpenOptions direct{
      .status = "NEW", .access = textio::Access::direct, .record_length = 82};
  textio::open_unit(20, "DIRECT.EXP", direct);
  const std::string first = std::string(80, '1') + "\r\n";
  const std::string second = std::string(80, '2') + "\r\n";
  textio::write_direct(20, 2, "(A)", second);
  textio::write_direct(20, 1, "(A)", first);
  textio::close_unit(20);
  EXPECT_EQ(bytes_of("DIRECT.EXP"), first + second);

  // A formatted sequential file ends every record with CR LF, once.
  textio::open_unit(21, "LINES.grd", {.status = "NEW", .through_temporary = true});
  textio::write_record(21, "(A)", "one");
  textio::write_record(21, "(A)", "two");
  textio::close_unit(21);
  EXPECT_EQ(bytes_of("LINES.grd"), "one\r\ntwo\r\n");
}

// Bytes written past the file's cache land at the stream's position, whether the position, the
// memory and the size fall on whole blocks or not, and the stream goes on after them.
TEST_F(OsTest, WritesPastTheCacheAtTheStreamsPosition) {
  struct Case {
    std::size_t before;  // bytes the stream wrote first
    std::size_t shift;   // from a 4 KB boundary of memory
    std::size_t size;
  };
  std::vector<unsigned char> memory(5 * 4096 + 8192);
  for (std::size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<unsigned char>(i * 7);
  const std::size_t aligned =
      (4096 - reinterpret_cast<std::uintptr_t>(memory.data()) % 4096) % 4096;
  for (const Case& c : {Case{0, 0, 0}, Case{0, 0, 4096}, Case{0, 0, 3 * 4096 + 100},
                        Case{1344, 0, 5000}, Case{0, 1, 2 * 4096}, Case{4096, 0, 5 * 4096 - 4}}) {
    SCOPED_TRACE(testing::Message() << c.before << " " << c.shift << " " << c.size);
    const unsigned char* data = memory.data() + aligned + c.shift;
    const std::string before(c.before, 'h');
    int status = 0;
    std::FILE* file = os::open_file("past_cache", "w+b", status);
    ASSERT_NE(file, nullptr) << status;
    std::fwrite(before.data(), 1, before.size(), file);
    EXPECT_EQ(os::write_past_cache(file, data, c.size), 0);
    std::fputs("after", file);
    std::fclose(file);
    EXPECT_EQ(bytes_of("past_cache"),
              before + std::string(reinterpret_cast<const char*>(data), c.size) + "after");
  }
}

// A file is replaced by the new one whole, however often, also while a reader holds the old one
// open (the reader keeps reading the old content). Wine refuses to replace a file held open,
// where Windows itself does not: there the refusal must leave both files as they were.
TEST_F(OsTest, ReplacesAnExistingFileAndLosesNothingWhileItIsOpen) {
  put("TARGET.grd", "old");
  for (const std::string content : {"new 1", "new 2"}) {
    put("next", content);
    EXPECT_EQ(os::replace_file("next", "TARGET.grd"), 0);
    EXPECT_FALSE(fs::exists("next"));
    EXPECT_EQ(bytes_of("TARGET.grd"), content);
  }
  put("next", "new 3");
  int status = 0;
  std::FILE* reader = os::open_file("TARGET.grd", "rb", status);
  ASSERT_NE(reader, nullptr) << status;
  const int replaced = os::replace_file("next", "TARGET.grd");
#ifdef _WIN32
  if (replaced != 0) {
    EXPECT_EQ(bytes_of("next"), "new 3");
    EXPECT_EQ(bytes_of("TARGET.grd"), "new 2");
  } else {
    EXPECT_EQ(bytes_of("TARGET.grd"), "new 3");
  }
#else
  EXPECT_EQ(replaced, 0);
  EXPECT_FALSE(fs::exists("next"));
  EXPECT_EQ(bytes_of("TARGET.grd"), "new 3");
#endif
  char first = 0;
  EXPECT_EQ(std::fread(&first, 1, 1, reader), 1u);
  EXPECT_EQ(first, 'n');
  std::fclose(reader);
  const std::string target = bytes_of("TARGET.grd");
  put("other", "x");
  EXPECT_EQ(os::rename_where_absent("other", "TARGET.grd"), EEXIST);
  EXPECT_EQ(bytes_of("TARGET.grd"), target);
  EXPECT_EQ(os::rename_where_absent("other", "FREE"), 0);
  EXPECT_EQ(bytes_of("FREE"), "x");
}

// Creation and the second names never replace a file that is there; an exchange of names either
// swaps both or leaves both; a copy made where absent holds the bytes of its source.
TEST_F(OsTest, CreationLinksExchangeAndCopiesNeverReplaceAFile) {
  put("THERE", "kept");
  std::FILE* file = nullptr;
  EXPECT_EQ(os::create_new_file("THERE", file), EEXIST);
  EXPECT_EQ(file, nullptr);
  ASSERT_EQ(os::create_new_file("MADE", file), 0);
  std::fclose(file);
  put("OTHER", "other");
  EXPECT_EQ(os::add_link("OTHER", "THERE"), EEXIST);
  EXPECT_EQ(textio::copy_file_where_absent("OTHER", "THERE"), EEXIST);
  EXPECT_EQ(bytes_of("THERE"), "kept");
  EXPECT_EQ(textio::copy_file_where_absent("OTHER", "COPY"), 0);
  EXPECT_EQ(bytes_of("COPY"), "other");
  EXPECT_EQ(textio::copy_file_where_absent("MISSING", "NONE"), ENOENT);
  EXPECT_FALSE(fs::exists("NONE"));
  const bool exchanged = os::exchange_names("THERE", "OTHER");
  EXPECT_EQ(bytes_of("THERE"), exchanged ? "other" : "kept");
  EXPECT_EQ(bytes_of("OTHER"), exchanged ? "kept" : "other");
}

// A lock taken on a folder holds against a second lock of it through any other name of it, from
// another thread as from another process, until it is released.
TEST_F(OsTest, AFolderLockHoldsThroughEveryNameOfTheFolder) {
  fs::create_directory("runs");
  std::vector<std::string> names = {"runs", "./runs/", fs::absolute("runs").string()};
#ifdef _WIN32
  names.push_back("RUNS");
  names.push_back("\\\\?\\" + fs::absolute("runs").string());
  if (const std::optional<std::string> other_drive = through_unix_root("runs")) {
    names.push_back(*other_drive);
  }
#else
  fs::create_directory_symlink("runs", "linked");
  names.push_back("linked");
#endif
  os::FileLockHandle held;
  ASSERT_EQ(held.open("runs"), 0);
  ASSERT_EQ(held.lock(false), 0);
  for (const std::string& name : names) {
    int status = -1;
    std::thread([&] {
      os::FileLockHandle other;
      status = other.open(name);
      if (status == 0) status = other.lock(false);
    }).join();
    EXPECT_EQ(status, EWOULDBLOCK) << name;
    bool same = false;
    EXPECT_EQ(held.leads_here(name, same), 0);
    EXPECT_TRUE(same) << name;
  }
  held.release();
  int status = -1;
  std::thread([&] {
    os::FileLockHandle other;
    status = other.open("linked");
    if (status != 0) status = other.open("runs");
    if (status == 0) status = other.lock(false);
  }).join();
  EXPECT_EQ(status, 0);
}

// A long sequential file read record by record, with the unit flushed between the reads (as a
// macro being replayed is), gives every record back whole and in order.
TEST_F(OsTest, SequentialRecordsSurviveAFlushBetweenReads) {
  std::string text;
  for (int i = 1; i <= 1000; ++i) text += "record " + std::to_string(i) + "\r\n";
  put("MACRO.mac", text);
  textio::open_unit(22, "MACRO.mac", {.status = "OLD"});
  for (int i = 1; i <= 1000; ++i) {
    std::string record(16, ' ');
    textio::flush_unit(22);
    textio::read_record(22, "(A)", record);
    ASSERT_EQ(record, textio::fit("record " + std::to_string(i), 16));
  }
  std::string after(16, ' ');
  EXPECT_EQ(textio::try_read_record(22, "(A)", after), textio::kEndOfFile);
}

// Names are split into directory and file name as the system writes them.
TEST(OsNames, FileNameStartsAfterTheDirectoryPart) {
  EXPECT_EQ(os::file_name_start("SILICON"), 0u);
  EXPECT_EQ(os::file_name_start("runs/SILICON"), 5u);
#ifdef _WIN32
  EXPECT_EQ(os::file_name_start("runs\\SILICON"), 5u);
  EXPECT_EQ(os::file_name_start("C:SILICON"), 2u);
  EXPECT_EQ(os::file_name_start("C:\\data\\runs/SILICON"), 13u);
#else
  EXPECT_EQ(os::file_name_start("runs\\SILICON"), 0u);
#endif
}

}  // namespace

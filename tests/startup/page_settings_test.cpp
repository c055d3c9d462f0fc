#include "startup/page_settings.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/files.hpp"
#include "textio/program_state.hpp"
#include "textio/units.hpp"

namespace startup {
namespace {

constexpr int kListing = 20;

class PageSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    textio::reset_program_state();
    textio::open_unit(kListing, listing_path, {.status = "NEW"});
  }
  void TearDown() override { textio::reset_program_state(); }

  std::string listing() {
    textio::close_unit(kListing);
    return support::read_file_bytes(listing_path);
  }

  support::TempDirectory directory;
  const std::string listing_path = (directory / "listing").string();
};

// Lines are counted after they are written: the header comes when a block would overflow the
// page, and the new page's count holds the header's two lines and the block.
TEST_F(PageSettingsTest, HeaderFollowsTheBlockThatFilledThePage) {
  set_page_length(10);
  EXPECT_EQ(PAGCHK(kListing, 4), 0);
  EXPECT_EQ(PAGCHK(kListing, 6), 0);
  EXPECT_EQ(line_count(kListing), 10);
  EXPECT_EQ(PAGCHK(kListing, 1), 1);
  EXPECT_EQ(line_count(kListing), 3);
  EXPECT_EQ(page_number(kListing), 1);
  EXPECT_EQ(PAGCHK(kListing, 9), 1);
  EXPECT_EQ(line_count(kListing), 11);
  EXPECT_EQ(page_number(kListing), 2);
}

TEST_F(PageSettingsTest, HeaderLineCarriesTitleProgramPlatformAndPage) {
  set_listing_title("Listing title");
  set_program_name_field("MAPCONV");
  set_platform_field("Win32 ");
  NEWPAG(kListing);
  NEWPAG(kListing);
  const std::string text = listing();
  const std::string start = "1Listing title" + std::string(53, ' ') + " MAPCONV  Version Win32  ";
  ASSERT_EQ(text.size(), 2 * (121 + 4)) << text;
  for (std::size_t page = 0; page < 2; ++page) {
    const std::string header = text.substr(page * 125, 121);
    EXPECT_EQ(header.substr(0, 92), start);
    EXPECT_EQ(header.substr(112), " Page   " + std::to_string(page + 1));
    EXPECT_EQ(text.substr(page * 125 + 121, 4), "\r\n\r\n");
  }
  EXPECT_EQ(line_count(kListing), 2);
}

TEST_F(PageSettingsTest, UnitsOutsideTheTableAreNotCounted) {
  set_page_length(0);
  EXPECT_EQ(PAGCHK(0, 5), 0);
  EXPECT_EQ(PAGCHK(100, 5), 0);
  EXPECT_EQ(line_count(0), 0);
  EXPECT_EQ(line_count(100), 0);
  EXPECT_EQ(listing(), "");
}

}  // namespace
}  // namespace startup

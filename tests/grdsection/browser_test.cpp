// A real browser looks at the picture: chromium, headless with a profile folder of the test's
// own, renders the SVG to a PNG, which must not be blank and must show contour pixels around the
// marked peaks and nowhere else; rsvg-convert must parse the file as SVG too.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "../analysis/known_maps.hpp"
#include "support/files.hpp"
#include "support/run_program.hpp"
#include "svg_reading.hpp"

namespace {

// An 8-bit RGB or RGBA picture, as the browser's screenshots are.
struct Picture {
  int width = 0, height = 0;
  std::vector<std::array<std::uint8_t, 3>> pixels;  // rows top down

  const std::array<std::uint8_t, 3>& at(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * width + x];
  }
};

std::uint32_t big_endian(const std::string& bytes, std::size_t at) {
  return (std::uint32_t(std::uint8_t(bytes[at])) << 24) |
         (std::uint32_t(std::uint8_t(bytes[at + 1])) << 16) |
         (std::uint32_t(std::uint8_t(bytes[at + 2])) << 8) | std::uint8_t(bytes[at + 3]);
}

int paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Decodes a non-interlaced 8-bit RGB or RGBA PNG; an empty picture for anything else.
Picture decoded_png(const std::string& png) {
  Picture picture;
  std::string data;
  int channels = 0;
  for (std::size_t at = 8; at + 12 <= png.size();) {
    const std::uint32_t length = big_endian(png, at);
    const std::string type = png.substr(at + 4, 4);
    if (at + 12 + length > png.size()) return {};
    if (type == "IHDR") {
      picture.width = int(big_endian(png, at + 8));
      picture.height = int(big_endian(png, at + 12));
      const int depth = png[at + 16], colour = png[at + 17], interlace = png[at + 20];
      if (depth != 8 || (colour != 2 && colour != 6) || interlace != 0) return {};
      channels = colour == 2 ? 3 : 4;
    } else if (type == "IDAT") {
      data += png.substr(at + 8, length);
    }
    at += 12 + length;
  }
  const std::size_t stride = static_cast<std::size_t>(picture.width) * channels;
  std::vector<std::uint8_t> raw((stride + 1) * picture.height);
  uLongf raw_size = raw.size();
  if (channels == 0 ||
      uncompress(raw.data(), &raw_size, reinterpret_cast<const Bytef*>(data.data()), data.size()) !=
          Z_OK) {
    return {};
  }
  std::vector<std::uint8_t> previous(stride, 0), row(stride);
  for (int y = 0; y < picture.height; ++y) {
    const std::uint8_t* line = &raw[y * (stride + 1)];
    for (std::size_t i = 0; i < stride; ++i) {
      const int a = i >= std::size_t(channels) ? row[i - channels] : 0, b = previous[i];
      const int c = i >= std::size_t(channels) ? previous[i - channels] : 0;
      const int predictor[5] = {0, a, b, (a + b) / 2, paeth(a, b, c)};
      row[i] = std::uint8_t(line[1 + i] + predictor[line[0] % 5]);
    }
    for (int x = 0; x < picture.width; ++x) {
      picture.pixels.push_back({row[x * channels], row[x * channels + 1], row[x * channels + 2]});
    }
    previous = row;
  }
  return picture;
}

// The positive contours' blue, blended with the white page at their edges; no other ink of the
// picture (black lines and text, green marks, red dashes) is this blue.
bool contour_blue(const std::array<std::uint8_t, 3>& p) {
  return p[2] > p[0] + 40 && p[2] > p[1] + 25;
}

std::pair<std::string, int> shell(const support::TempDirectory& work, const std::string& command) {
  return support::run_shell_command("cd '" + work.path().string() + "' && " + command);
}

int attribute(const std::string& svg, const std::string& name) {
  const std::size_t at = svg.find(" " + name + "=\"");
  return at == std::string::npos ? 0 : std::atoi(svg.c_str() + at + name.size() + 3);
}

// A hexagonal cell (a and b at 120 degrees) with two atoms in the plane z = 1/2, 3.27 Å apart;
// their lowest contour (1 sigma, about 0.64) lies about 1.2 Å from each.
class SectionInBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    const known_maps::Cell cell = {{8, 8, 6}, {90, 90, 120}};
    const std::array<int, 3> n = {32, 32, 24};
    const std::vector<known_maps::Atom> atoms = {{{0.25, 0.25, 0.5}, 10.0, 0.5},
                                                 {{0.6, 0.7, 0.5}, 10.0, 0.5}};
    const std::string grid = known_maps::grid_file_text(
        cell, "Two atoms", "FOBS",
        known_maps::gaussian_map(cell, analysis::triclinic_group(), atoms, n), n);
    support::write_file_bytes(work_ / "HEX.grd", grid);
    const auto [output, status] =
        shell(work_, std::string("'") + GRDSECTION_PROGRAM + "' --plane z=0.5 -o hex.svg HEX");
    ASSERT_EQ(status, 0) << output;
    svg_ = support::read_file_bytes(work_ / "hex.svg");
  }

  support::TempDirectory work_;
  std::string svg_;
};

TEST_F(SectionInBrowser, RsvgConvertParsesThePicture) {
  const auto [output, status] = shell(work_, "rsvg-convert -o rsvg.png hex.svg");
  ASSERT_EQ(status, 0) << output;
  const Picture picture = decoded_png(support::read_file_bytes(work_ / "rsvg.png"));
  EXPECT_EQ(picture.width, attribute(svg_, "width"));
  EXPECT_EQ(picture.height, attribute(svg_, "height"));
}

TEST_F(SectionInBrowser, ChromiumDrawsContoursAroundThePeaksAndNowhereElse) {
  const int width = attribute(svg_, "width"), height = attribute(svg_, "height");
  const auto [output, status] =
      shell(work_,
            "timeout 120 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars "
            "--force-device-scale-factor=1 --user-data-dir=\"$PWD/profile\" --window-size=" +
                std::to_string(width) + "," + std::to_string(height) +
                " --screenshot=\"$PWD/chromium.png\" \"file://$PWD/hex.svg\"");
  ASSERT_EQ(status, 0) << output;
  const Picture picture = decoded_png(support::read_file_bytes(work_ / "chromium.png"));
  ASSERT_EQ(picture.width, width);
  ASSERT_EQ(picture.height, height);
  const std::vector<svg_reading::Mark> peaks = svg_reading::marks_of(svg_, "peak");
  ASSERT_EQ(peaks.size(), 2u);
  const double pixels_per_angstrom = svg_reading::axes_of(svg_).across_length() / 8.0;
  // Not blank: some ink on a white page.
  int ink = 0;
  std::vector<int> near_peak(peaks.size(), 0);
  int stray = 0, blue = 0;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const auto& p = picture.at(x, y);
      ink += (p[0] < 200 || p[1] < 200 || p[2] < 200) ? 1 : 0;
      if (!contour_blue(p)) continue;
      ++blue;
      bool close = false;
      for (std::size_t i = 0; i < peaks.size(); ++i) {
        const double d = std::hypot(x + 0.5 - peaks[i].at[0], y + 0.5 - peaks[i].at[1]);
        close = close || d < 1.5 * pixels_per_angstrom;
        near_peak[i] += d < 0.3 * pixels_per_angstrom ? 1 : 0;
      }
      stray += close ? 0 : 1;
    }
  }
  EXPECT_GT(ink, picture.width * picture.height / 200);
  EXPECT_GT(blue, 500);
  EXPECT_EQ(stray, 0);
  for (const int count : near_peak) EXPECT_GT(count, 20);
}

TEST_F(SectionInBrowser, APngIsTheSvgDrawnByRsvgConvertAndNeedsIt) {
  const std::string program = std::string("'") + GRDSECTION_PROGRAM + "'";
  const auto [output, status] = shell(work_, program + " --plane z=0.5 --png HEX");
  ASSERT_EQ(status, 0) << output;
  EXPECT_EQ(output.substr(0, 40), "Wrote HEX-z0.500.png: section z = 0.500,");
  const Picture picture = decoded_png(support::read_file_bytes(work_ / "HEX-z0.500.png"));
  EXPECT_EQ(picture.width, attribute(svg_, "width"));
  EXPECT_EQ(picture.height, attribute(svg_, "height"));
  // Without the renderer: said so, and neither the picture nor a temporary file left.
  const auto [refused, refused_status] =
      shell(work_, "PATH=/nonexistent " + program + " --plane z=0.5 -o none.PNG HEX");
  EXPECT_NE(refused_status, 0);
  EXPECT_EQ(refused,
            "grdsection: none.PNG: cannot write the picture: rsvg-convert, which makes the PNG, "
            "is not on PATH (Debian package librsvg2-bin)\n");
  EXPECT_EQ(support::files_in(work_.path()).size(), 3u);  // HEX.grd, hex.svg, HEX-z0.500.png
}

}  // namespace

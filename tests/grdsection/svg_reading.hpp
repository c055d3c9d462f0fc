// What the tests read back from grdsection's pictures: the axes, the marks and the size, by the
// class names and attribute layout the writer promises.
#pragma once

#include <array>
#include <cmath>
#include <regex>
#include <string>
#include <vector>

namespace svg_reading {

using Point = std::array<double, 2>;

struct Mark {
  Point at{};
  std::string label;
};

// The origin and the tips of the across and up axes, in pixels.
struct Axes {
  Point origin{}, across{}, up{};

  // The page place of fractions (across, up) of the plane.
  Point place(double u, double w) const {
    return {origin[0] + u * (across[0] - origin[0]) + w * (up[0] - origin[0]),
            origin[1] + u * (across[1] - origin[1]) + w * (up[1] - origin[1])};
  }
  // The angle between the axes as seen (the page's y runs down), in degrees.
  double angle() const {
    const double a = std::atan2(-(across[1] - origin[1]), across[0] - origin[0]);
    const double b = std::atan2(-(up[1] - origin[1]), up[0] - origin[0]);
    return (b - a) * 180.0 / 3.14159265358979323846;
  }
  double across_length() const { return std::hypot(across[0] - origin[0], across[1] - origin[1]); }
  double up_length() const { return std::hypot(up[0] - origin[0], up[1] - origin[1]); }
};

inline Axes axes_of(const std::string& svg) {
  const std::regex line(
      "<line class=\"axis\" x1=\"([-0-9.]+)\" y1=\"([-0-9.]+)\" x2=\"([-0-9.]+)\" "
      "y2=\"([-0-9.]+)\"");
  std::vector<std::array<double, 4>> found;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), line); it != std::sregex_iterator();
       ++it) {
    found.push_back(
        {std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4])});
  }
  if (found.size() != 2) return {};
  return {{found[0][0], found[0][1]}, {found[0][2], found[0][3]}, {found[1][2], found[1][3]}};
}

// The marks of `kind` ("peak" or "hole") with the labels written after them.
inline std::vector<Mark> marks_of(const std::string& svg, const std::string& kind) {
  const std::regex mark(
      "<circle class=\"" + kind +
      "\" cx=\"([-0-9.]+)\" cy=\"([-0-9.]+)\"[^>]*/>\\s*<text[^>]*>([^<]*)</text>");
  std::vector<Mark> marks;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), mark); it != std::sregex_iterator();
       ++it) {
    marks.push_back({{std::stod((*it)[1]), std::stod((*it)[2])}, (*it)[3]});
  }
  return marks;
}

inline int count_of(const std::string& text, const std::string& part) {
  int count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace svg_reading

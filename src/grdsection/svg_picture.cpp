#include "grdsection/svg_picture.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "grdsection/section_run.hpp"

namespace grdsection {

namespace {

constexpr double kDrawing = 640.0;  // pixels along the range's longer side
constexpr double kSideMargin = 60.0, kTopMargin = 80.0, kBottomMargin = 100.0;
constexpr double kNarrowest = 640.0;  // room for the title
constexpr const char* kPositive = "#1f4e9c";
constexpr const char* kNegative = "#c0392b";
constexpr const char* kMark = "#117a38";
constexpr const char* kAtom = "#7d3c98";

struct Box {
  double left = 0.0, bottom = 0.0, right = 0.0, top = 0.0;  // Å
};

Box bounds(const analysis::SectionFrame& frame, const analysis::SectionRange& range) {
  Box box{1e300, 1e300, -1e300, -1e300};
  for (const double u : {range.from[0], range.to[0]}) {
    for (const double w : {range.from[1], range.to[1]}) {
      const std::array<double, 2> p = frame.in_plane(u, w);
      box = {std::min(box.left, p[0]), std::min(box.bottom, p[1]), std::max(box.right, p[0]),
             std::max(box.top, p[1])};
    }
  }
  return box;
}

template <typename... T>
std::string formatted(const char* format, T... values) {
  char text[512];
  const int length = std::snprintf(text, sizeof text, format, values...);
  return std::string(text, static_cast<std::size_t>(std::clamp(length, 0, int(sizeof text) - 1)));
}

// Text from a file, made safe for XML: markup characters escaped, and anything but printable
// ASCII (a title may hold bytes of any code page) shown as '?'.
std::string xml_text(const std::string& text) {
  std::string safe;
  for (const char c : text) {
    if (c == '&') {
      safe += "&amp;";
    } else if (c == '<') {
      safe += "&lt;";
    } else if (c == '>') {
      safe += "&gt;";
    } else if (c == '"') {
      safe += "&quot;";
    } else {
      safe += (c >= 0x20 && c < 0x7f) ? c : '?';
    }
  }
  return safe;
}

// Places in the plane (Å) on the page (pixels, y down).
class Page {
 public:
  Page(const analysis::SectionFrame& frame, const analysis::SectionRange& range)
      : box_(bounds(frame, range)), scale_(pixels_per_angstrom(frame, range)) {
    const double drawn_width = (box_.right - box_.left) * scale_;
    width_ = std::max(drawn_width + 2.0 * kSideMargin, kNarrowest);
    left_ = (width_ - drawn_width) / 2.0;
    height_ = (box_.top - box_.bottom) * scale_ + kTopMargin + kBottomMargin;
  }
  double width() const { return width_; }
  double height() const { return height_; }
  double scale() const { return scale_; }
  std::array<double, 2> at(const std::array<double, 2>& p) const {
    return {left_ + (p[0] - box_.left) * scale_, kTopMargin + (box_.top - p[1]) * scale_};
  }
  std::string point(const std::array<double, 2>& p) const {
    const std::array<double, 2> q = at(p);
    return formatted("%.2f %.2f", q[0], q[1]);
  }

 private:
  Box box_;
  double scale_;
  double width_ = 0.0, height_ = 0.0, left_ = 0.0;
};

std::string line_element(const Page& page, const std::array<double, 2>& from,
                         const std::array<double, 2>& to, const std::string& attributes) {
  const std::array<double, 2> a = page.at(from), b = page.at(to);
  return formatted("<line x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" %s/>\n", a[0], a[1], b[0],
                   b[1], attributes.c_str());
}

std::string text_element(double x, double y, const std::string& attributes,
                         const std::string& text) {
  return formatted("<text x=\"%.2f\" y=\"%.2f\" %s>", x, y, attributes.c_str()) + text +
         "</text>\n";
}

// The edges of the range, and the cell edges (whole values of either axis) across it.
std::string cell_edges(const SectionPicture& p, const Page& page) {
  const analysis::SectionRange& r = p.range;
  const auto at = [&](double u, double w) { return p.frame.in_plane(u, w); };
  std::string svg = "<path class=\"range\" fill=\"none\" stroke=\"#b0b0b0\" d=\"M" +
                    page.point(at(r.from[0], r.from[1])) + "L" +
                    page.point(at(r.to[0], r.from[1])) + "L" + page.point(at(r.to[0], r.to[1])) +
                    "L" + page.point(at(r.from[0], r.to[1])) + "Z\"/>\n";
  const std::string edge = "class=\"cell\" stroke=\"#000000\" stroke-width=\"1\"";
  for (double u = std::ceil(r.from[0]); u <= r.to[0]; u += 1.0) {
    svg += line_element(page, at(u, r.from[1]), at(u, r.to[1]), edge);
  }
  for (double w = std::ceil(r.from[1]); w <= r.to[1]; w += 1.0) {
    svg += line_element(page, at(r.from[0], w), at(r.to[0], w), edge);
  }
  return svg;
}

std::string contour_paths(const SectionPicture& p, const Page& page) {
  std::string svg = "<g fill=\"none\" stroke-width=\"1.2\" stroke-linejoin=\"round\">\n";
  for (const ContourLevel& level : p.contours) {
    if (level.lines.empty()) continue;
    const bool positive = level.value > 0.0;
    svg += formatted("<path class=\"%s\" stroke=\"%s\"%s d=\"", positive ? "positive" : "negative",
                     positive ? kPositive : kNegative, positive ? "" : " stroke-dasharray=\"5,4\"");
    for (std::size_t i = 0; i < level.lines.size(); ++i) {
      const auto& line = level.lines[i];
      for (std::size_t k = 0; k < line.size(); ++k)
        svg += (k == 0 ? "M" : "L") + page.point(line[k]);
      if (level.closed[i]) svg += "Z";
    }
    svg += formatted("\"><title>%gσ</title></path>\n", level.in_sigma);
  }
  return svg + "</g>\n";
}

const char* axis_name(std::size_t axis) {
  return std::array{"x", "y", "z"}[axis];
}
const char* edge_name(std::size_t axis) {
  return std::array{"a", "b", "c"}[axis];
}
// The cell angle opposite an axis: the one between the other two.
const char* angle_name(std::size_t axis) {
  return std::array{"α", "β", "γ"}[axis];
}

// Arrows along the two in-plane axes from the origin, one cell edge long, with their names.
std::string axes(const SectionPicture& p, const Page& page) {
  const analysis::SectionPlane& plane = p.frame.plane();
  const std::array<double, 2> origin = page.at(p.frame.in_plane(0, 0));
  std::string svg =
      text_element(origin[0] - 6, origin[1] + 16, "font-size=\"13\" text-anchor=\"end\"", "0");
  const std::array<std::array<double, 2>, 2> tips = {page.at(p.frame.in_plane(1, 0)),
                                                     page.at(p.frame.in_plane(0, 1))};
  const std::array<std::size_t, 2> names = {plane.across_axis(), plane.up_axis()};
  for (std::size_t i = 0; i < 2; ++i) {
    svg += formatted(
        "<line class=\"axis\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"#000000\" "
        "stroke-width=\"2\" marker-end=\"url(#arrow)\"/>\n",
        origin[0], origin[1], tips[i][0], tips[i][1]);
    // Beyond the tip, along the axis.
    const double dx = tips[i][0] - origin[0], dy = tips[i][1] - origin[1];
    const double length = std::max(std::hypot(dx, dy), 1.0);
    svg += text_element(tips[i][0] + 18 * dx / length, tips[i][1] + 18 * dy / length + 5,
                        "font-size=\"15\" font-style=\"italic\" text-anchor=\"middle\"",
                        axis_name(names[i]));
  }
  return svg;
}

std::string marks(const SectionPicture& p, const Page& page) {
  std::string svg = formatted("<g font-size=\"12\" fill=\"%s\">\n", kMark);
  for (const Mark& m : p.marks) {
    const std::array<double, 2> q = page.at(m.at);
    svg += m.hole ? formatted(
                        "<circle class=\"hole\" cx=\"%.2f\" cy=\"%.2f\" r=\"3.5\" "
                        "fill=\"none\" stroke=\"%s\" stroke-width=\"1.5\"/>\n",
                        q[0], q[1], kMark)
                  : formatted("<circle class=\"peak\" cx=\"%.2f\" cy=\"%.2f\" r=\"3\"/>\n", q[0],
                              q[1]);
    svg += text_element(q[0] + 5, q[1] - 5, "", (m.hole ? "H" : "") + std::to_string(m.number));
  }
  return svg + "</g>\n";
}

// The model's atoms: open circles with their labels below them, apart from the peaks' numbers.
std::string atoms(const SectionPicture& p, const Page& page) {
  if (p.atoms.empty()) return "";
  std::string svg = formatted("<g font-size=\"12\" fill=\"%s\">\n", kAtom);
  for (const AtomMark& atom : p.atoms) {
    const std::array<double, 2> q = page.at(atom.at);
    svg += formatted(
        "<circle class=\"atom\" cx=\"%.2f\" cy=\"%.2f\" r=\"5\" fill=\"none\" "
        "stroke=\"%s\" stroke-width=\"1.2\"/>\n",
        q[0], q[1], kAtom);
    svg += text_element(q[0] + 6, q[1] + 15, "", xml_text(atom.label));
  }
  return svg + "</g>\n";
}

// 1, 2 or 5 times a power of ten, at most `longest`.
double round_length(double longest) {
  const double power = std::pow(10.0, std::floor(std::log10(longest)));
  for (const double f : {5.0, 2.0}) {
    if (f * power <= longest) return f * power;
  }
  return power;
}

std::string scale_bar(const SectionPicture& p, const Page& page) {
  const double length = round_length(kDrawing / 4.0 / page.scale());
  const double x = kSideMargin / 2.0, y = page.height() - 50.0, end = x + length * page.scale();
  std::string svg = formatted(
      "<path class=\"scale\" fill=\"none\" stroke=\"#000000\" stroke-width=\"2\" "
      "d=\"M%.2f %.2fV%.2fH%.2fV%.2f\"/>\n",
      x, y - 6, y, end, y - 6);
  svg += text_element((x + end) / 2, y + 17, "font-size=\"13\" text-anchor=\"middle\"",
                      formatted("%g Å", length));
  const analysis::SectionPlane& plane = p.frame.plane();
  svg +=
      text_element(page.width() - kSideMargin / 2.0, y + 17, "font-size=\"13\" text-anchor=\"end\"",
                   formatted("%s = %.4f Å, %s = %.4f Å, %s = %.2f°", edge_name(plane.across_axis()),
                             p.frame.across_length(), edge_name(plane.up_axis()),
                             p.frame.up_length(), angle_name(plane.normal_axis), p.frame.angle()));
  const bool holes =
      std::any_of(p.marks.begin(), p.marks.end(), [](const Mark& m) { return m.hole; });
  svg += text_element(
      x, page.height() - 12, "font-size=\"12\" fill=\"#404040\"",
      formatted("Peaks%s%s within %g Å of the plane, numbered as grdpeaks lists "
                "them; negative contours dashed",
                holes ? " and holes (H)" : "",
                p.atoms.empty() ? "" : " (green) and the model's atoms (purple)", p.slab));
  return svg;
}

std::string plane_text(const SectionPicture& p) {
  const analysis::SectionPlane& plane = p.frame.plane();
  return formatted("section %s = %.3f, %s across, %s up; ", axis_name(plane.normal_axis),
                   plane.position, axis_name(plane.across_axis()), axis_name(plane.up_axis())) +
         p.levels_text + formatted(" (σ = %g)", p.statistics.sigma);
}

}  // namespace

double pixels_per_angstrom(const analysis::SectionFrame& frame,
                           const analysis::SectionRange& range) {
  const Box box = bounds(frame, range);
  return kDrawing / std::max({box.right - box.left, box.top - box.bottom, 1e-9});
}

std::string svg_text(const SectionPicture& p) {
  const Page page(p.frame, p.range);
  const std::string heading =
      xml_text(p.title) + (p.title.empty() ? "" : ", ") + xml_text(p.map_type) + " map";
  std::string svg =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
      "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
      "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">\n";
  svg += formatted(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%.0f\" height=\"%.0f\" "
      "viewBox=\"0 0 %.0f %.0f\" font-family=\"sans-serif\">\n",
      std::ceil(page.width()), std::ceil(page.height()), std::ceil(page.width()),
      std::ceil(page.height()));
  svg += "<title>" + heading + ": " + plane_text(p) + "</title>\n";
  svg +=
      "<defs><marker id=\"arrow\" viewBox=\"0 0 10 10\" refX=\"9\" refY=\"5\" markerWidth=\"7\" "
      "markerHeight=\"7\" orient=\"auto\"><path d=\"M0 0L10 5L0 10Z\"/></marker></defs>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
  svg += cell_edges(p, page) + contour_paths(p, page) + axes(p, page) + marks(p, page) +
         atoms(p, page);
  svg += text_element(kSideMargin / 2.0, 28, "font-size=\"17\" font-weight=\"bold\"", heading);
  svg += text_element(kSideMargin / 2.0, 52, "font-size=\"13\"", plane_text(p));
  svg += scale_bar(p, page);
  return svg + "</svg>\n";
}

}  // namespace grdsection

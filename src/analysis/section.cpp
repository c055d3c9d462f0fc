#include "analysis/section.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace analysis {

namespace {

double cosine_of(double degrees) {
  return std::cos(degrees * std::numbers::pi / 180.0);
}

// The angle between axes j and k is the cell angle opposite the third axis.
double angle_between(const UnitCell& cell, std::size_t j, std::size_t k) {
  return cell.angles()[3 - j - k];
}

// A translate is counted once however many lattice cells a slab or a range spans; more than this
// many would only draw the same place over again.
constexpr int kMostTranslates = 16;

// The whole numbers t with low <= value + t <= high, at most kMostTranslates of them.
std::array<int, 2> translates_between(double value, double low, double high) {
  // Clamped first, so that a slab of any width stays a count of cells that an int holds.
  const double first = std::clamp(std::ceil(low - value - 1e-9), -1e6, 1e6);
  const double last = std::clamp(std::floor(high - value + 1e-9), -1e6, 1e6);
  if (!(first <= last)) return {1, 0};
  return {static_cast<int>(first), static_cast<int>(std::min(last, first + kMostTranslates - 1))};
}

}  // namespace

SectionFrame::SectionFrame(const UnitCell& cell, const SectionPlane& plane) : plane_(plane) {
  const std::size_t u = plane.across_axis(), w = plane.up_axis(), n = plane.normal_axis;
  across_length_ = cell.lengths()[u];
  up_length_ = cell.lengths()[w];
  angle_ = angle_between(cell, u, w);
  const double cos_uw = cosine_of(angle_), sin_uw = std::sin(angle_ * std::numbers::pi / 180.0);
  up_edge_ = {up_length_ * cos_uw, up_length_ * sin_uw};
  const double normal_length = cell.lengths()[n];
  const double cos_nu = cosine_of(angle_between(cell, n, u));
  const double cos_nw = cosine_of(angle_between(cell, n, w));
  const double x = normal_length * cos_nu;
  const double y = normal_length * (cos_nw - cos_nu * cos_uw) / sin_uw;
  normal_edge_ = {x, y, std::sqrt(std::max(normal_length * normal_length - x * x - y * y, 0.0))};
}

std::array<double, 3> SectionFrame::cartesian(const std::array<double, 3>& x) const {
  const std::array<double, 2> foot = in_plane(x[plane_.across_axis()], x[plane_.up_axis()]);
  const double off = x[plane_.normal_axis] - plane_.position;
  return {foot[0] + off * normal_edge_[0], foot[1] + off * normal_edge_[1], off * normal_edge_[2]};
}

std::array<double, 2> SectionFrame::in_plane(double across, double up) const {
  return {across * across_length_ + up * up_edge_[0], up * up_edge_[1]};
}

std::array<double, 2> SectionFrame::fractions_of(double x, double y) const {
  const double up = y / up_edge_[1];
  return {(x - up * up_edge_[0]) / across_length_, up};
}

std::array<double, 2> SectionSamples::fractions_at(double column, double row) const {
  const double du = (range.to[0] - range.from[0]) / (columns - 1);
  const double dw = (range.to[1] - range.from[1]) / (rows - 1);
  return {range.from[0] + column * du, range.from[1] + row * dw};
}

SectionSamples sample_section(const MapGrid& map, const SectionPlane& plane,
                              const SectionRange& range, int columns, int rows) {
  SectionSamples samples{range, columns, rows, {}};
  samples.values.resize(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows));
  std::array<double, 3> x{};
  x[plane.normal_axis] = plane.position;
  std::size_t index = 0;
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < columns; ++column) {
      const std::array<double, 2> f = samples.fractions_at(column, row);
      x[plane.across_axis()] = f[0];
      x[plane.up_axis()] = f[1];
      samples.values[index++] = trilinear(map, x);
    }
  }
  return samples;
}

std::vector<std::array<double, 2>> images_in_slab(const std::array<double, 3>& position,
                                                  const SpaceGroup& group,
                                                  const SectionFrame& frame,
                                                  const SectionRange& range, double slab) {
  const SectionPlane& plane = frame.plane();
  const double reach = slab / frame.layer_spacing();
  std::vector<std::array<double, 2>> places;
  const auto add = [&](const std::array<double, 2>& place) {
    for (const auto& seen : places) {
      if (std::hypot(seen[0] - place[0], seen[1] - place[1]) < 1e-3) return;
    }
    places.push_back(place);
  };
  for (const Operation& operation : group.operations) {
    std::array<double, 3> image = operation.apply(position);
    for (double& f : image) f = reduced(f);
    const double height = image[plane.normal_axis];
    const auto [first, last] =
        translates_between(height, plane.position - reach, plane.position + reach);
    for (int t = first; t <= last; ++t) {
      image[plane.normal_axis] = height + t;
      const std::array<double, 3> c = frame.cartesian(image);
      if (std::abs(c[2]) > slab + 1e-9) continue;
      const std::array<double, 2> f = frame.fractions_of(c[0], c[1]);
      const auto [u_first, u_last] = translates_between(f[0], range.from[0], range.to[0]);
      const auto [w_first, w_last] = translates_between(f[1], range.from[1], range.to[1]);
      for (int tu = u_first; tu <= u_last; ++tu) {
        for (int tw = w_first; tw <= w_last; ++tw) add(frame.in_plane(f[0] + tu, f[1] + tw));
      }
    }
  }
  return places;
}

}  // namespace analysis

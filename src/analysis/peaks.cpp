#include "analysis/peaks.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <future>
#include <limits>
#include <unordered_map>

namespace analysis {

namespace {

using Position = std::array<double, 3>;

// A grid maximum (of the values times `sign`), refined.
struct Candidate {
  Position position{};
  double height = 0.0;  // of the values times the search's sign
};

// Whether point (i, j, k) with value v (times `sign`) beats its 26 neighbours: at least as high
// as each, and higher than those met before it in the grid's order, so that a plateau gives one.
bool is_maximum(const MapGrid& map, int i, int j, int k, float v, float sign) {
  for (int dk = -1; dk <= 1; ++dk) {
    for (int dj = -1; dj <= 1; ++dj) {
      for (int di = -1; di <= 1; ++di) {
        if (di == 0 && dj == 0 && dk == 0) continue;
        const float n = sign * map.wrapped(i + di, j + dj, k + dk);
        const bool before = dk < 0 || (dk == 0 && (dj < 0 || (dj == 0 && di < 0)));
        if (n > v || (before && n == v)) return false;
      }
    }
  }
  return true;
}

// The parabola through (-1, minus), (0, centre), (1, plus): the offset of its vertex, kept within
// half a step, and the rise of the parabola there.
std::pair<double, double> vertex(double minus, double centre, double plus) {
  const double curvature = minus - 2.0 * centre + plus;
  if (curvature >= 0.0) return {0.0, 0.0};
  const double offset = std::clamp(0.5 * (minus - plus) / curvature, -0.5, 0.5);
  const double slope = 0.5 * (plus - minus);
  return {offset, slope * offset + 0.5 * curvature * offset * offset};
}

Candidate refine(const MapGrid& map, int i, int j, int k, float sign) {
  const std::array<int, 3> at = {i, j, k};
  const double centre = sign * map.wrapped(i, j, k);
  Candidate c;
  c.height = centre;
  for (std::size_t axis = 0; axis < 3; ++axis) {
    std::array<int, 3> below = at, above = at;
    --below[axis];
    ++above[axis];
    const auto [offset, rise] = vertex(sign * map.wrapped(below[0], below[1], below[2]), centre,
                                       sign * map.wrapped(above[0], above[1], above[2]));
    c.position[axis] = reduced((at[axis] + offset) / map.divisions[axis]);
    c.height += rise;
  }
  return c;
}

// The maxima among the z sections [first, last) whose values (times `sign`) exceed `floor`.
std::vector<Candidate> maxima_in(const MapGrid& map, int first, int last, double floor,
                                 float sign) {
  std::vector<Candidate> found;
  const int n1 = map.divisions[0], n2 = map.divisions[1];
  for (int k = first; k < last; ++k) {
    for (int j = 0; j < n2; ++j) {
      const float* row = map.values.data() + map.index(0, j, k);
      for (int i = 0; i < n1; ++i) {
        const float v = sign * row[i];
        if (v <= floor) continue;
        // The neighbours along the row turn most points away before the other 24 are read.
        if (sign * row[i == 0 ? n1 - 1 : i - 1] >= v || sign * row[i + 1 == n1 ? 0 : i + 1] > v) {
          continue;
        }
        if (is_maximum(map, i, j, k, v, sign)) found.push_back(refine(map, i, j, k, sign));
      }
    }
  }
  return found;
}

// Below this many points a second thread costs more than it saves.
constexpr std::size_t kShareFrom = std::size_t{1} << 18;

std::vector<Candidate> grid_maxima(const MapGrid& map, double floor, float sign) {
  const int n3 = map.divisions[2];
  if (map.values.size() < kShareFrom || n3 < 2) return maxima_in(map, 0, n3, floor, sign);
  auto upper =
      std::async(std::launch::async, [&] { return maxima_in(map, n3 / 2, n3, floor, sign); });
  std::vector<Candidate> found = maxima_in(map, 0, n3 / 2, floor, sign);
  std::vector<Candidate> more = upper.get();
  found.insert(found.end(), more.begin(), more.end());
  return found;
}

// The images of the accepted peaks, filed by the box of the cell they lie in: the boxes are at
// least the merge radius wide, so a position within the radius of an image lies in its box or in
// one of the 26 around it.
class ImageBoxes {
 public:
  ImageBoxes(const UnitCell& cell, double radius) {
    reach_ = std::numeric_limits<double>::infinity();
    for (std::size_t axis = 0; axis < 3; ++axis) {
      const double spacing = cell.plane_spacing(axis);
      boxes_[axis] = std::clamp(static_cast<int>(spacing / radius), 1, 64);
      reach_ = std::min(reach_, spacing / boxes_[axis]);
    }
  }

  // How far around a position the box and its neighbours reach at least, in Å.
  double reach() const { return reach_; }

  void add(const Position& image, std::size_t peak) {
    files_[key_of(box_of(image))].push_back({image, peak});
  }

  // The peak of the first image within `radius` of `position`, if any.
  std::optional<std::size_t> peak_near(const Position& position, const UnitCell& cell,
                                       double radius) const {
    std::optional<std::size_t> found;
    for_images_around(position, [&](const Position& image, std::size_t peak) {
      if (!found && cell.distance(position, image) < radius) found = peak;
    });
    return found;
  }

  // The distance to the nearest image in the boxes around `position`, leaving out the images of
  // peak `self` within `radius` (the peak itself); infinity when there is none.
  double nearest_around(const Position& position, std::size_t self, double radius,
                        const UnitCell& cell) const {
    double nearest = std::numeric_limits<double>::infinity();
    for_images_around(position, [&](const Position& image, std::size_t peak) {
      const double d = cell.distance(position, image);
      if (peak != self || d >= radius) nearest = std::min(nearest, d);
    });
    return nearest;
  }

 private:
  template <typename Visit>
  void for_images_around(const Position& position, Visit visit) const {
    const std::array<int, 3> centre = box_of(position);
    std::array<std::uint32_t, 27> seen{};
    std::size_t seen_count = 0;
    for (int du = -1; du <= 1; ++du) {
      for (int dv = -1; dv <= 1; ++dv) {
        for (int dw = -1; dw <= 1; ++dw) {
          const std::uint32_t key = key_of({centre[0] + du, centre[1] + dv, centre[2] + dw});
          // With fewer than three boxes along an axis, neighbours wrap onto the same box.
          if (std::find(seen.begin(), seen.begin() + seen_count, key) !=
              seen.begin() + seen_count) {
            continue;
          }
          seen[seen_count++] = key;
          const auto file = files_.find(key);
          if (file == files_.end()) continue;
          for (const auto& [image, peak] : file->second) visit(image, peak);
        }
      }
    }
  }

  std::array<int, 3> box_of(const Position& p) const {
    std::array<int, 3> box{};
    for (std::size_t axis = 0; axis < 3; ++axis) {
      box[axis] = std::min(static_cast<int>(reduced(p[axis]) * boxes_[axis]), boxes_[axis] - 1);
    }
    return box;
  }

  std::uint32_t key_of(std::array<int, 3> box) const {
    std::uint32_t key = 0;
    for (std::size_t axis = 0; axis < 3; ++axis) {
      const int n = boxes_[axis];
      key = key * 64 + static_cast<std::uint32_t>(((box[axis] % n) + n) % n);
    }
    return key;
  }

  std::array<int, 3> boxes_{};
  double reach_ = 0.0;
  std::unordered_map<std::uint32_t, std::vector<std::pair<Position, std::size_t>>> files_;
};

Peak accepted_peak(const Candidate& c, const UnitCell& cell, const SpaceGroup& group,
                   double radius) {
  const Site site = site_of(c.position, cell, group, radius);
  Peak peak;
  peak.position = site.position;
  peak.height = c.height;
  peak.site_symmetry_order = site.order;
  peak.multiplicity = group.order() / site.order;
  return peak;
}

void add_images(ImageBoxes& boxes, const Peak& peak, std::size_t index, const SpaceGroup& group) {
  for (const Operation& op : group.operations) boxes.add(op.apply(peak.position), index);
}

// The nearest other peak of each: any image of another peak, or an image of the peak itself
// that is not the peak. The boxes around a peak answer when they hold one within their reach;
// only a peak with no other near it is compared with every image.
void set_nearest_peaks(std::vector<Peak>& peaks, const ImageBoxes& boxes, const UnitCell& cell,
                       const SpaceGroup& group, double radius) {
  for (std::size_t index = 0; index < peaks.size(); ++index) {
    Peak& peak = peaks[index];
    double nearest = boxes.nearest_around(peak.position, index, radius, cell);
    if (nearest <= boxes.reach()) {
      peak.nearest_peak_distance = nearest;
      continue;
    }
    for (const Peak& other : peaks) {
      for (const Operation& op : group.operations) {
        const double d = cell.distance(peak.position, op.apply(other.position));
        if (&other == &peak && d < radius) continue;
        nearest = std::min(nearest, d);
      }
    }
    if (std::isfinite(nearest)) peak.nearest_peak_distance = nearest;
  }
}

}  // namespace

double merge_radius(const MapGrid& map, const UnitCell& cell) {
  double step = 0.0;
  for (std::size_t axis = 0; axis < 3; ++axis) {
    step = std::max(step, cell.lengths()[axis] / map.divisions[axis]);
  }
  return 1.5 * step;
}

Site site_of(const Position& position, const UnitCell& cell, const SpaceGroup& group,
             double radius) {
  Site site;
  site.order = 0;
  Position sum{};
  for (const Operation& op : group.operations) {
    const Position image = op.apply(position);
    if (cell.distance(position, image) >= radius) continue;
    ++site.order;
    // The image's translate nearest the position, so that the mean lies between them.
    for (std::size_t axis = 0; axis < 3; ++axis) {
      sum[axis] += image[axis] - std::round(image[axis] - position[axis]);
    }
  }
  for (std::size_t axis = 0; axis < 3; ++axis)
    site.position[axis] = reduced(sum[axis] / site.order);
  return site;
}

double distance_under_group(const Position& from, const Position& to, const UnitCell& cell,
                            const SpaceGroup& group) {
  double nearest = std::numeric_limits<double>::infinity();
  for (const Operation& op : group.operations) {
    nearest = std::min(nearest, cell.distance(from, op.apply(to)));
  }
  return nearest;
}

std::vector<Peak> find_peaks(const MapGrid& map, const UnitCell& cell, const SpaceGroup& group,
                             const MapStatistics& statistics, const PeakSearch& search) {
  const float sign = search.holes ? -1.0f : 1.0f;
  const double floor = sign * statistics.mean + search.min_sigma * statistics.sigma;
  std::vector<Candidate> candidates = grid_maxima(map, floor, sign);
  std::sort(candidates.begin(), candidates.end(),
            [](const Candidate& a, const Candidate& b) { return a.height > b.height; });
  const double radius = merge_radius(map, cell);
  ImageBoxes boxes(cell, radius);
  std::vector<Peak> peaks;
  const auto full = [&] { return search.count > 0 && peaks.size() >= std::size_t(search.count); };
  for (const Candidate& c : candidates) {
    if (std::optional<std::size_t> same = boxes.peak_near(c.position, cell, radius)) {
      Peak& peak = peaks[*same];
      ++peak.images_merged;
      peak.height_spread = std::max(peak.height_spread, peak.height - c.height);
      continue;
    }
    // Once the list is full, the lower maxima are looked at only as images of the peaks listed,
    // which differ from them by far less than a standard deviation.
    if (full()) {
      if (c.height < peaks.back().height - statistics.sigma) break;
      continue;
    }
    peaks.push_back(accepted_peak(c, cell, group, radius));
    add_images(boxes, peaks.back(), peaks.size() - 1, group);
  }
  for (Peak& peak : peaks) {
    peak.height *= sign;
    peak.height_sigma = statistics.in_sigma(peak.height);
  }
  set_nearest_peaks(peaks, boxes, cell, group, radius);
  return peaks;
}

}  // namespace analysis

// Maps of known structures for the tests: atoms as Gaussians, placed through every operation of
// the group, summed over the whole cell on a periodic grid. Distances are taken in Cartesian
// coordinates built here, apart from the library's metric.
#pragma once

#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/space_group.hpp"

namespace known_maps {

using Position = std::array<double, 3>;

struct Atom {
  Position position{};
  double height = 10.0;
  double width = 0.35;  // Å: the Gaussian's standard deviation
};

struct Cell {
  std::array<double, 3> lengths{};
  std::array<double, 3> angles{};

  // The Cartesian vector of fractional `d`: a along x, b in the xy plane.
  Position cartesian(const Position& d) const {
    constexpr double kDegree = std::numbers::pi / 180.0;
    const double ca = std::cos(angles[0] * kDegree), cb = std::cos(angles[1] * kDegree);
    const double cg = std::cos(angles[2] * kDegree), sg = std::sin(angles[2] * kDegree);
    const double a = lengths[0], b = lengths[1], c = lengths[2];
    const double cy = (ca - cb * cg) / sg;
    const double cz = std::sqrt(1.0 - cb * cb - cy * cy);
    return {a * d[0] + b * cg * d[1] + c * cb * d[2], b * sg * d[1] + c * cy * d[2], c * cz * d[2]};
  }
};

// Values x fastest, z slowest: the sum of every atom's Gaussian at every image, over the
// neighbouring cells.
inline std::vector<float> gaussian_map(const Cell& cell, const analysis::SpaceGroup& group,
                                       const std::vector<Atom>& atoms,
                                       const std::array<int, 3>& n) {
  std::vector<Position> images;
  std::vector<const Atom*> owners;
  for (const Atom& atom : atoms) {
    const std::size_t first = images.size();
    for (const analysis::Operation& op : group.operations) {
      const Position image = op.apply(atom.position);
      // An atom on a special position is one atom, however many operations leave it in place.
      bool seen = false;
      for (std::size_t m = first; m < images.size(); ++m) {
        double off = 0.0;
        for (std::size_t a = 0; a < 3; ++a) {
          off += std::fabs(image[a] - images[m][a] - std::round(image[a] - images[m][a]));
        }
        seen = seen || off < 1e-9;
      }
      if (seen) continue;
      images.push_back(image);
      owners.push_back(&atom);
    }
  }
  std::vector<float> values(static_cast<std::size_t>(n[0]) * n[1] * n[2]);
  std::size_t index = 0;
  for (int k = 0; k < n[2]; ++k) {
    for (int j = 0; j < n[1]; ++j) {
      for (int i = 0; i < n[0]; ++i, ++index) {
        const Position x = {double(i) / n[0], double(j) / n[1], double(k) / n[2]};
        double sum = 0.0;
        for (std::size_t m = 0; m < images.size(); ++m) {
          Position d{};
          for (std::size_t a = 0; a < 3; ++a) {
            d[a] = x[a] - images[m][a] - std::round(x[a] - images[m][a]);
          }
          for (int u = -1; u <= 1; ++u) {
            for (int v = -1; v <= 1; ++v) {
              for (int w = -1; w <= 1; ++w) {
                const Position r = cell.cartesian({d[0] + u, d[1] + v, d[2] + w});
                const double s = r[0] * r[0] + r[1] * r[1] + r[2] * r[2];
                const double width = owners[m]->width;
                sum += owners[m]->height * std::exp(-s / (2.0 * width * width));
              }
            }
          }
        }
        values[index] = static_cast<float>(sum);
      }
    }
  }
  return values;
}

// The grid file of `values` (x fastest) as mapconv writes it: the title (50 characters) and the
// map type, the cell, the divisions, then one value a line with z fastest, lines ending in CR LF.
inline std::string grid_file_text(const Cell& cell, std::string title, const std::string& map_type,
                                  const std::vector<float>& values, const std::array<int, 3>& n) {
  title.resize(50, ' ');
  title += " " + map_type;
  title.resize(66, ' ');
  char header[128];
  std::snprintf(header, sizeof header, "%10.5f%10.5f%10.5f%10.4f%10.4f%10.4f\r\n%4d%4d%4d\r\n",
                cell.lengths[0], cell.lengths[1], cell.lengths[2], cell.angles[0], cell.angles[1],
                cell.angles[2], n[0], n[1], n[2]);
  std::string text = title + "\r\n" + header;
  for (int i = 0; i < n[0]; ++i) {
    for (int j = 0; j < n[1]; ++j) {
      for (int k = 0; k < n[2]; ++k) {
        char line[32];
        std::snprintf(line, sizeof line, "  %.9g\r\n",
                      values[std::size_t(i) + std::size_t(n[0]) * (j + std::size_t(n[1]) * k)]);
        text += line;
      }
    }
  }
  return text;
}

}  // namespace known_maps

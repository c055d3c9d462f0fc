#include "analysis/contours.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace analysis {

namespace {

// The crossings of one level with the lattice's edges and the segments that join them. Edges are
// numbered horizontal first ((column, row) to (column + 1, row)), then vertical ((column, row) to
// (column, row + 1)); each crossing joins at most two others, one in each square beside its edge.
class CrossingGraph {
 public:
  CrossingGraph(const SampleLattice& lattice, double level)
      : lattice_(lattice),
        level_(level),
        horizontal_count_(static_cast<std::size_t>(lattice.columns - 1) *
                          static_cast<std::size_t>(lattice.rows)),
        neighbours_(2 * (horizontal_count_ + static_cast<std::size_t>(lattice.columns) *
                                                 static_cast<std::size_t>(lattice.rows - 1)),
                    kNone) {
    for (int row = 0; row + 1 < lattice.rows; ++row) {
      for (int column = 0; column + 1 < lattice.columns; ++column) join_square(column, row);
    }
  }

  std::vector<ContourLine> lines() {
    std::vector<ContourLine> lines;
    std::vector<bool> visited(neighbours_.size() / 2, false);
    // Open lines first, from one of their ends, so that none is entered in its middle.
    for (std::size_t edge = 0; edge < visited.size(); ++edge) {
      if (!visited[edge] && neighbour(edge, 0) != kNoEdge && neighbour(edge, 1) == kNoEdge) {
        lines.push_back(walk(edge, visited));
      }
    }
    for (std::size_t edge = 0; edge < visited.size(); ++edge) {
      if (!visited[edge] && neighbour(edge, 1) != kNoEdge) {
        lines.push_back(walk(edge, visited));
        lines.back().closed = true;
      }
    }
    return lines;
  }

 private:
  // Edge numbers are held in 32 bits, half the memory of a large lattice's graph; the sections
  // drawn have a few million edges at most.
  static constexpr std::uint32_t kNone = UINT32_MAX;
  static constexpr std::size_t kNoEdge = static_cast<std::size_t>(-1);

  bool inside(int column, int row) const { return lattice_.at(column, row) >= level_; }

  std::size_t horizontal(int column, int row) const {
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(lattice_.columns - 1) +
           static_cast<std::size_t>(column);
  }
  std::size_t vertical(int column, int row) const {
    return horizontal_count_ +
           static_cast<std::size_t>(row) * static_cast<std::size_t>(lattice_.columns) +
           static_cast<std::size_t>(column);
  }
  std::size_t neighbour(std::size_t edge, int slot) const {
    const std::uint32_t n = neighbours_[2 * edge + slot];
    return n == kNone ? kNoEdge : n;
  }

  void join(std::size_t a, std::size_t b) {
    neighbours_[2 * a + (neighbours_[2 * a] == kNone ? 0 : 1)] = static_cast<std::uint32_t>(b);
    neighbours_[2 * b + (neighbours_[2 * b] == kNone ? 0 : 1)] = static_cast<std::uint32_t>(a);
  }

  // Corners counter-clockwise from (column, row); edge k runs from corner k to corner k + 1.
  void join_square(int column, int row) {
    const std::array<bool, 4> in = {inside(column, row), inside(column + 1, row),
                                    inside(column + 1, row + 1), inside(column, row + 1)};
    const std::array<std::size_t, 4> edge = {horizontal(column, row), vertical(column + 1, row),
                                             horizontal(column, row + 1), vertical(column, row)};
    std::array<std::size_t, 4> crossed{};
    int count = 0;
    for (int k = 0; k < 4; ++k) {
      if (in[k] != in[(k + 1) % 4]) crossed[count++] = edge[k];
    }
    if (count == 2) {
      join(crossed[0], crossed[1]);
    } else if (count == 4) {
      // A saddle: the corners on the other side from the square's centre are cut off, each by
      // the segment between its two edges.
      const double centre = (double(lattice_.at(column, row)) + lattice_.at(column + 1, row) +
                             lattice_.at(column + 1, row + 1) + lattice_.at(column, row + 1)) /
                            4.0;
      const bool centre_inside = centre >= level_;
      for (int k = 0; k < 4; ++k) {
        if (in[k] != centre_inside) join(edge[(k + 3) % 4], edge[k]);
      }
    }
  }

  std::array<double, 2> crossing(std::size_t edge) const {
    const bool is_horizontal = edge < horizontal_count_;
    const std::size_t index = is_horizontal ? edge : edge - horizontal_count_;
    const std::size_t width = static_cast<std::size_t>(lattice_.columns) - (is_horizontal ? 1 : 0);
    const int column = static_cast<int>(index % width), row = static_cast<int>(index / width);
    const double a = lattice_.at(column, row);
    const double b = is_horizontal ? lattice_.at(column + 1, row) : lattice_.at(column, row + 1);
    const double t = (level_ - a) / (b - a);
    return is_horizontal ? std::array<double, 2>{column + t, double(row)}
                         : std::array<double, 2>{double(column), row + t};
  }

  ContourLine walk(std::size_t start, std::vector<bool>& visited) const {
    ContourLine line;
    std::size_t previous = kNoEdge, current = start;
    while (current != kNoEdge && !visited[current]) {
      visited[current] = true;
      line.points.push_back(crossing(current));
      const std::size_t next =
          neighbour(current, 0) != previous ? neighbour(current, 0) : neighbour(current, 1);
      previous = current;
      current = next;
    }
    return line;
  }

  const SampleLattice& lattice_;
  double level_;
  std::size_t horizontal_count_;
  std::vector<std::uint32_t> neighbours_;  // two per edge
};

}  // namespace

std::vector<ContourLine> contour_lines(const SampleLattice& lattice, double level) {
  return CrossingGraph(lattice, level).lines();
}

std::optional<std::vector<double>> sigma_levels(double sigma, double step, double minimum,
                                                double maximum, int most) {
  const double spacing = sigma * step;
  const double first = std::ceil(minimum / spacing), last = std::floor(maximum / spacing);
  // Zero is no level, so a range that holds it has one multiple fewer.
  const double count = last - first + 1.0 - (first <= 0.0 && last >= 0.0 ? 1.0 : 0.0);
  if (!(count <= most)) return std::nullopt;
  std::vector<double> levels;
  for (double k = first; k <= last; k += 1.0) {
    if (k != 0.0) levels.push_back(k * spacing);
  }
  return levels;
}

}  // namespace analysis

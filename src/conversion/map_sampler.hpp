// The map value at any fractional point of the cell: a symmetry-equivalent point inside the
// stored block, interpolated trilinearly from the eight stored values around it.
#pragma once

#include <array>

#include "conversion/map_block.hpp"
#include "symmetry/operator_set.hpp"

namespace conversion {

using Point = std::array<float, 3>;

class MapSampler {
 public:
  MapSampler(const MapBlock& block, const symmetry::OperatorSet& operators)
      : block_(block), operators_(operators) {}

  // The value at `point`, in the block's scaled density units; 0.0 when no equivalent point
  // lies in the stored block.
  float MAPVAL(const Point& point);

  // Where the next search begins (0-based); kept between calls because neighbouring grid
  // points mostly reach the block through the same operator and centring vector.
  int current_operator() const { return current_operator_; }
  int current_centring() const { return current_centring_; }

 private:
  bool direct_test(const Point& image, int centring, Point& grid) const;
  bool inverse_test(Point& grid) const;
  bool within_block(float coordinate, int axis) const;
  float interpolate(const Point& grid) const;
  float stored(int u, int v, int w) const;

  const MapBlock& block_;
  const symmetry::OperatorSet& operators_;
  int current_operator_ = 0;
  int current_centring_ = 0;
};

}  // namespace conversion

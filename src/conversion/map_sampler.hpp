// The map value at any fractional point of the cell: a symmetry-equivalent point inside the
// stored block, interpolated trilinearly from the eight stored values around it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "conversion/map_block.hpp"
#include "conversion/sample.hpp"
#include "conversion/sampling_steps.hpp"
#include "symmetry/operator_set.hpp"

namespace conversion {

// Where the search for a point's image begins: the operator and centring vector (0-based) that
// reached the block last.
struct SearchStart {
  int op = 0;
  int centring = 0;
  bool operator==(const SearchStart&) const = default;
};

// How a row's batches of points are tested and interpolated: by the portable code, or in the
// processor's vector registers where it has them. Both give the same bits.
enum class BatchCode { portable, vector_where_available };

class MapSampler {
 public:
  // Takes the block's geometry and the operator set once, here; the block's values are read on
  // every call, so the block must outlive the sampler.
  MapSampler(const MapBlock& block, const symmetry::OperatorSet& operators,
             BatchCode batch_code = BatchCode::vector_where_available);

  // The value at `point`, in the block's scaled density units; 0.0 when no equivalent point
  // lies in the stored block.
  float MAPVAL(const Point& point) { return sample(point).value; }
  // MAPVAL's value with the code it came from.
  Sample sample(const Point& point);
  // sample() of the points (x, y, z[0]) to (x, y, z[count - 1]), called in that order.
  void sample_row(float x, float y, const float* z, std::size_t count, Sample* out);

  // Where the next search begins; kept between calls because neighbouring grid points mostly
  // reach the block through the same operator and centring vector. The values returned depend
  // on nothing else that a call leaves behind, so a sampler resumed at the search start another
  // one had returns the same values as that one would.
  SearchStart search_start() const { return {current_operator_, current_centring_}; }
  void resume_search_at(const SearchStart& start);

  // Whether the batches run in vector registers.
  bool batches_in_vectors() const { return vector_batches_; }

  // How many of the points sampled so far had no image in the stored block (and so the value 0).
  std::int64_t uncovered_points() const { return uncovered_points_; }

 private:
  // An operator's rotation as floats and its translation in fractions of the cell edges.
  struct Operator {
    std::array<Point, 3> rotation;  // rotation[i][j]: row i, column j
    Point translation;              // T / 12
  };
  // The block coordinates of one fraction along one axis, for the point and for its inverse.
  struct CoordinateMemo {
    std::uint32_t fraction_bits;
    float direct;
    float inverse;
  };

  void follow_row(float x, float y);
  const Point& row_sums(int op);
  Point image(int op, float z);
  std::size_t sample_batch(const float* z, std::size_t count, Sample* out);
  std::size_t find_images(const RowImage& image, const float* z, std::size_t count);
  void interpolate_found(std::size_t count, Sample* out);
  const CoordinateMemo& coordinates(float fraction, int axis);
  bool find_in_block(const Point& image, int centring, Point& grid);
  void prefetch_ahead(std::ptrdiff_t element);
  Sample interpolate(const Point& grid);
  void decode_codes();
  static std::size_t code_index(std::int16_t code) {
    return static_cast<std::size_t>(code - std::numeric_limits<std::int16_t>::min());
  }
  float decoded_code(std::int16_t code) const {
    return code_values_ ? code_values_[code_index(code)]
                        : decoded(static_cast<float>(code), block_);
  }

  BlockGeometry block_;  // read by the portable and the vector code alike
  int operator_count_;
  int centring_count_;
  std::array<Operator, symmetry::kMaxOperators> operators_;
  symmetry::CentringVectors centring_;

  // The grid walks z fastest, and an operator's r0 x + r1 y is the same for every point of a
  // row of z: it is summed once per row, when the operator is first tried there.
  float row_x_ = 0.0f;
  float row_y_ = 0.0f;
  std::uint64_t row_ = 0;
  std::array<std::uint64_t, symmetry::kMaxOperators> summed_in_row_;
  std::array<Point, symmetry::kMaxOperators> row_sums_;

  // Block coordinates already computed, per axis, by the fraction they came from: along a row
  // of z the axes that z does not reach see the same fraction point after point, and the axis
  // that z reaches sees the same fractions row after row. The fractions met are a few for each
  // grid step, so a small grid gets a small table: every slot is written when it is made.
  static int memo_bits(const MapBlock& block);
  int memo_bits_;
  std::vector<CoordinateMemo> memos_;  // 2^memo_bits_ slots for each axis

  // The value of every code, decoded once, for a large block (none for a small one): a stored
  // point's value is that of its code.
  static constexpr std::size_t kCodeCount = std::size_t{1} << 16;
  std::unique_ptr<float[]> code_values_;

  // Points of a row whose block coordinates are computed together, before they are tested:
  // at most kBatchPoints, starting from this many.
  static constexpr std::size_t kFirstBatchPoints = 4;
  bool vector_batches_;
  BatchCoordinates batch_grid_{};  // of the batch in hand

  static constexpr std::ptrdiff_t kPrefetchSteps = 8;
  std::ptrdiff_t previous_element_ = 0;

  int current_operator_ = 0;
  int current_centring_ = 0;

  // Counted where the search gives up, which points with an image never reach.
  std::int64_t uncovered_points_ = 0;
};

}  // namespace conversion

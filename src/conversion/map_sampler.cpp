#include "conversion/map_sampler.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <memory>

#include "conversion/vector_batch.hpp"

namespace conversion {

namespace {

// No row has this number: every operator starts out without a sum.
constexpr std::uint64_t kNoRow = ~std::uint64_t{0};

bool within_block(const Point& grid, const BlockGeometry& block) {
  return within_block(grid[0], block.axes[0]) && within_block(grid[1], block.axes[1]) &&
         within_block(grid[2], block.axes[2]);
}

}  // namespace

MapSampler::MapSampler(const MapBlock& block, const symmetry::OperatorSet& operators,
                       BatchCode batch_code)
    : block_(block_geometry(block, operators.centric != 0)),
      operator_count_(std::min(operators.operator_count, symmetry::kMaxOperators)),
      centring_count_(std::min(operators.centring_count, symmetry::kMaxCentringVectors)),
      centring_(operators.centring),
      memo_bits_(memo_bits(block)) {
  // The vector code indexes the block with 32-bit element numbers.
  vector_batches_ = batch_code == BatchCode::vector_where_available && vector_batch_available() &&
                    block_.value_count != 0 &&
                    block_.value_count <= static_cast<std::size_t>(INT32_MAX);
  for (int k = 0; k < symmetry::kMaxOperators; ++k) {
    const symmetry::SymmetryOperator& op = operators.operators[static_cast<std::size_t>(k)];
    for (std::size_t i = 0; i < 3; ++i) {
      for (std::size_t j = 0; j < 3; ++j) {
        operators_[k].rotation[i][j] = static_cast<float>(op.rotation[i][j]);
      }
      operators_[k].translation[i] = static_cast<float>(op.translation[i]) / symmetry::kTwelfths;
    }
  }
  summed_in_row_.fill(kNoRow);
  decode_codes();
  // Every slot starts out as the memo of the fraction whose bits are all ones, a NaN: its
  // coordinates are NaN too, so an unused slot never answers for another fraction wrongly.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  memos_.assign(std::size_t{3} << memo_bits_, {~std::uint32_t{0}, nan, nan});
}

// Eight slots for each step of the finest axis, from 64 to 1,024.
int MapSampler::memo_bits(const MapBlock& block) {
  const int finest =
      std::max({block.grid_divisions[0], block.grid_divisions[1], block.grid_divisions[2], 1});
  const auto slots = std::bit_ceil(8 * static_cast<std::uint32_t>(std::min(finest, 1 << 16)));
  return std::clamp(static_cast<int>(std::bit_width(slots)) - 1, 6, 10);
}

// A table of every code pays where the block holds more values than there are codes. A smaller
// block's codes are decoded as they are met, which gives the same bits.
void MapSampler::decode_codes() {
  if (block_.value_count < kCodeCount) return;
  code_values_ = std::make_unique_for_overwrite<float[]>(kCodeCount);
  for (int code = std::numeric_limits<std::int16_t>::min();
       code <= std::numeric_limits<std::int16_t>::max(); ++code) {
    code_values_[code_index(static_cast<std::int16_t>(code))] =
        decoded(static_cast<float>(code), block_);
  }
}

// The block coordinates of a fraction along axis i, for the point and for its inverse.
const MapSampler::CoordinateMemo& MapSampler::coordinates(float fraction, int i) {
  std::uint32_t bits = std::bit_cast<std::uint32_t>(fraction);
  // Fibonacci hashing spreads neighbouring bit patterns over the axis's slots.
  CoordinateMemo& memo = memos_[(static_cast<std::size_t>(i) << memo_bits_) +
                                ((bits * 0x9E3779B1u) >> (32 - memo_bits_))];
  if (memo.fraction_bits != bits) {
    const BlockAxis& axis = block_.axes[static_cast<std::size_t>(i)];
    const float direct = direct_coordinate(fraction, axis);
    memo = {bits, direct, inverse_coordinate(direct, axis)};
  }
  return memo;
}

// Whether the image under the centring vector, or failing that (centric groups only) its
// inverse, lies in the block; `grid` receives the block coordinates of the one tested last.
bool MapSampler::find_in_block(const Point& image, int centring, Point& grid) {
  const auto& shift = centring_[static_cast<std::size_t>(centring)];
  Point inverse;
  bool inside = true;
  for (int i = 0; i < 3; ++i) {
    const CoordinateMemo& memo = coordinates(image[i] + shift[i], i);
    grid[i] = memo.direct;
    inverse[i] = memo.inverse;
    inside = inside && within_block(grid[i], block_.axes[static_cast<std::size_t>(i)]);
  }
  if (inside || !block_.centric) return inside;
  grid = inverse;
  return within_block(grid, block_);
}

// Along a row the walk mostly steps through the block by one stride, often a whole plane of the
// block: a step that crosses pages defeats the processor's own prefetching, so the element a
// few steps ahead is requested early.
void MapSampler::prefetch_ahead(std::ptrdiff_t element) {
  const std::ptrdiff_t ahead = element + kPrefetchSteps * (element - previous_element_);
  previous_element_ = element;
  if (ahead >= 0 && ahead < static_cast<std::ptrdiff_t>(block_.value_count)) {
    __builtin_prefetch(block_.values + ahead);
  }
}

Sample MapSampler::interpolate(const Point& grid) {
  const GridCell c1 = grid_cell(grid[0]), c2 = grid_cell(grid[1]), c3 = grid_cell(grid[2]);
  const std::ptrdiff_t lx = block_.lx, lxy = block_.lxy;
  const std::ptrdiff_t element = c1.index + lx * c2.index + lxy * c3.index;
  prefetch_ahead(element);
  const std::int16_t* base = block_.values + element;
  // On a stored grid point the weighted sum is exactly the first corner's code.
  if (c1.fraction == 0.0f && c2.fraction == 0.0f && c3.fraction == 0.0f) {
    return {decoded_code(base[0]), base[0]};
  }
  const bool x1 = has_next(c1.index, block_.steps[0]), y1 = has_next(c2.index, block_.steps[1]),
             z1 = has_next(c3.index, block_.steps[2]);
  auto corner = [base](bool stored, std::ptrdiff_t offset) {
    return stored ? static_cast<float>(base[offset]) : 0.0f;
  };
  const Corners<float> codes = {static_cast<float>(base[0]),
                                corner(x1, 1),
                                corner(y1, lx),
                                corner(z1, lxy),
                                corner(x1 && y1, lx + 1),
                                corner(x1 && z1, lxy + 1),
                                corner(y1 && z1, lxy + lx),
                                corner(x1 && y1 && z1, lxy + lx + 1)};
  const float sum = weighted_sum(corner_weights(c1.fraction, c2.fraction, c3.fraction), codes);
  return {decoded(sum, block_)};
}

void MapSampler::follow_row(float x, float y) {
  if (std::bit_cast<std::uint32_t>(x) == std::bit_cast<std::uint32_t>(row_x_) &&
      std::bit_cast<std::uint32_t>(y) == std::bit_cast<std::uint32_t>(row_y_)) {
    return;
  }
  row_x_ = x;
  row_y_ = y;
  ++row_;
}

// ((r0 x + r1 y) + r2 z) + T / 12 for each axis: the operator's image of the point, in the
// order of the full sum.
Point MapSampler::image(int op, float z) {
  const Operator& o = operators_[static_cast<std::size_t>(op)];
  const Point& sums = row_sums(op);
  Point result;
  for (std::size_t i = 0; i < 3; ++i) {
    result[i] = image_coordinate(sums[i], o.rotation[i][2], z, o.translation[i]);
  }
  return result;
}

// r0 x + r1 y of the current row for each axis, summed when the operator is first tried there.
const Point& MapSampler::row_sums(int op) {
  const Operator& o = operators_[static_cast<std::size_t>(op)];
  Point& sums = row_sums_[static_cast<std::size_t>(op)];
  if (summed_in_row_[static_cast<std::size_t>(op)] != row_) {
    for (std::size_t i = 0; i < 3; ++i) {
      sums[i] = o.rotation[i][0] * row_x_ + o.rotation[i][1] * row_y_;
    }
    summed_in_row_[static_cast<std::size_t>(op)] = row_;
  }
  return sums;
}

void MapSampler::resume_search_at(const SearchStart& start) {
  current_operator_ = start.op;
  current_centring_ = start.centring;
}

Sample MapSampler::sample(const Point& point) {
  if (operator_count_ <= 0 || centring_count_ <= 0) {
    ++uncovered_points_;
    return {};
  }
  follow_row(point[0], point[1]);
  for (int tried = 0; tried < operator_count_; ++tried) {
    const Point q = image(current_operator_, point[2]);
    for (int trial = 0; trial < centring_count_; ++trial) {
      Point grid;
      if (find_in_block(q, current_centring_, grid)) return interpolate(grid);
      current_centring_ = (current_centring_ + 1) % centring_count_;
    }
    current_operator_ = (current_operator_ + 1) % operator_count_;
  }
  ++uncovered_points_;
  return {};
}

// Along a row the operator and centring vector that reached the block last mostly reach it for
// the points that follow: they are tested on a batch of points at once, and only the first point
// that they miss takes the one-point search, which tries them first and so finds the same image.
// After a miss the batches start small, so that a row that keeps changing operator wastes little.
void MapSampler::sample_row(float x, float y, const float* z, std::size_t count, Sample* out) {
  if (operator_count_ <= 0 || centring_count_ <= 0) {
    std::fill(out, out + count, Sample{});
    uncovered_points_ += static_cast<std::int64_t>(count);
    return;
  }
  follow_row(x, y);
  std::size_t batch = kFirstBatchPoints;
  std::size_t k = 0;
  while (k < count) {
    const std::size_t points = std::min(batch, count - k);
    const std::size_t found = sample_batch(z + k, points, out + k);
    k += found;
    if (found == points) {
      batch = std::min(2 * batch, kBatchPoints);
    } else {
      out[k] = sample({x, y, z[k]});
      ++k;
      batch = kFirstBatchPoints;
    }
  }
}

// The points at the front of a batch that the current operator and centring vector bring into
// the block, sampled as the one-point search samples them; stops at the first they miss.
std::size_t MapSampler::sample_batch(const float* z, std::size_t count, Sample* out) {
  const Operator& o = operators_[static_cast<std::size_t>(current_operator_)];
  RowImage image{row_sums(current_operator_),
                 {},
                 o.translation,
                 centring_[static_cast<std::size_t>(current_centring_)]};
  for (std::size_t i = 0; i < 3; ++i) image.z_column[i] = o.rotation[i][2];
  if (!vector_batches_) {
    const std::size_t found = find_images(image, z, count);
    interpolate_found(found, out);
    return found;
  }
  const std::size_t found = find_images_vector(block_, image, z, count, batch_grid_);
  for (std::uint32_t left = interpolate_vector(block_, batch_grid_, found, out); left != 0;
       left &= left - 1) {
    const std::size_t j = static_cast<std::size_t>(std::countr_zero(left));
    out[j] = interpolate({batch_grid_[0][j], batch_grid_[1][j], batch_grid_[2][j]});
  }
  return found;
}

// How many points at the front of the batch the image brings into the block; their block
// coordinates go to the batch grid.
std::size_t MapSampler::find_images(const RowImage& image, const float* z, std::size_t count) {
  BatchCoordinates& direct = batch_grid_;
  for (std::size_t a = 0; a < 3; ++a) {
    // An axis that z does not reach has the same coordinate all along the row: only the sign of
    // a zero can differ from point to point, and the shift by whole periods removes it.
    const std::size_t varying = image.z_column[a] == 0.0f ? std::min<std::size_t>(count, 1) : count;
    const BlockAxis& axis = block_.axes[a];
    for (std::size_t j = 0; j < varying; ++j) {
      const float q =
          image_coordinate(image.row_sums[a], image.z_column[a], z[j], image.translation[a]);
      direct[a][j] = direct_coordinate(q + image.shift[a], axis);
    }
    std::fill(direct[a].begin() + static_cast<std::ptrdiff_t>(varying),
              direct[a].begin() + static_cast<std::ptrdiff_t>(count), direct[a][0]);
  }
  for (std::size_t j = 0; j < count; ++j) {
    Point grid{direct[0][j], direct[1][j], direct[2][j]};
    if (!within_block(grid, block_)) {
      if (!block_.centric) return j;
      for (std::size_t i = 0; i < 3; ++i) grid[i] = inverse_coordinate(grid[i], block_.axes[i]);
      if (!within_block(grid, block_)) return j;
      for (std::size_t i = 0; i < 3; ++i) direct[i][j] = grid[i];
    }
  }
  return count;
}

void MapSampler::interpolate_found(std::size_t count, Sample* out) {
  for (std::size_t j = 0; j < count; ++j) {
    out[j] = interpolate({batch_grid_[0][j], batch_grid_[1][j], batch_grid_[2][j]});
  }
}

}  // namespace conversion

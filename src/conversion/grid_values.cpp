// The grid is cut into chunks of consecutive points, taken in turn by the threads. Each point's
// value depends on where the search for its image begins, which is where the search for the point
// before it ended; so a thread starts a chunk from a guess (the search start that the points just
// before the chunk lead to), samples and formats the whole chunk, and then waits for its turn to
// write. By then the chunk before is written and its real end is known: when the guess differs,
// the chunk is sampled again from that end before it is written. The file therefore holds exactly
// what one thread walking the grid in order would write.
#include "conversion/grid_values.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "conversion/map_sampler.hpp"
#include "textio/list_real.hpp"
#include "textio/records.hpp"

namespace conversion {

namespace {

using PointIndex = std::int64_t;

// At most about 700 KB of text per chunk: large writes, little memory. Smaller grids are cut
// into several chunks per thread, so that every thread has a share.
constexpr PointIndex kMostChunkPoints = PointIndex{1} << 15;
constexpr PointIndex kChunksPerThread = 8;

// The grid points in the file's order, by their position in it.
class GridWalk {
 public:
  explicit GridWalk(const Triple& divisions) : divisions_(divisions) {
    for (std::size_t axis = 0; axis < 3; ++axis) {
      const int n = divisions[axis];
      for (int step = 0; step < n; ++step) {
        fractions_[axis].push_back(static_cast<float>(step) / static_cast<float>(n));
      }
    }
  }

  PointIndex point_count() const {
    return PointIndex{divisions_[0]} * divisions_[1] * divisions_[2];
  }

  // Calls `visit(x, y, z, count)` with the points from position `first` up to `end`, in order,
  // a row of z or the part of one in the range at a time: the points (x, y, z[0 .. count)).
  template <typename VisitRow>
  void walk_rows(PointIndex first, PointIndex end, VisitRow visit) const {
    const PointIndex n2 = divisions_[1], n3 = divisions_[2];
    PointIndex i = first / (n2 * n3), j = first / n3 % n2, k = first % n3;
    for (PointIndex p = first; p < end;) {
      const PointIndex count = std::min(n3 - k, end - p);
      visit(fractions_[0][static_cast<std::size_t>(i)], fractions_[1][static_cast<std::size_t>(j)],
            fractions_[2].data() + k, static_cast<std::size_t>(count));
      p += count;
      k = 0;
      if (++j == n2) {
        j = 0;
        ++i;
      }
    }
  }

 private:
  Triple divisions_;
  std::array<std::vector<float>, 3> fractions_;
};

// Which chunk may be written next, where the search stood at the end of the chunk written last,
// and the first failure of any thread.
class WriteTurn {
 public:
  // Waits until chunk `chunk` is next; returns false when a thread has failed meanwhile.
  bool wait_for(PointIndex chunk, SearchStart& end_of_previous) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return failure_ || next_chunk_ == chunk; });
    end_of_previous = end_of_written_;
    return !failure_;
  }

  // Passes the turn on after a chunk was written with its counts.
  void pass_on(SearchStart end_of_chunk, const GridValueCounts& chunk_counts) {
    {
      std::lock_guard lock(mutex_);
      end_of_written_ = end_of_chunk;
      written_.uncovered += chunk_counts.uncovered;
      written_.interpolated += chunk_counts.interpolated;
      ++next_chunk_;
    }
    changed_.notify_all();
  }

  void fail(std::exception_ptr failure) {
    {
      std::lock_guard lock(mutex_);
      if (!failure_) failure_ = failure;
    }
    changed_.notify_all();
  }

  bool failed() {
    std::lock_guard lock(mutex_);
    return failure_ != nullptr;
  }

  void rethrow_failure() {
    if (failure_) std::rethrow_exception(failure_);
  }

  // Read once every thread has ended.
  const GridValueCounts& written() const { return written_; }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  PointIndex next_chunk_ = 0;
  SearchStart end_of_written_;
  GridValueCounts written_;
  std::exception_ptr failure_;
};

// How the grid is shared out: chunks of consecutive points, dealt to the threads in turn.
struct ChunkPlan {
  PointIndex points;
  PointIndex threads;
  PointIndex chunk_points;

  ChunkPlan(PointIndex point_count, int thread_count) : points(point_count) {
    chunk_points =
        std::clamp<PointIndex>(points / (kChunksPerThread * thread_count), 1, kMostChunkPoints);
    const PointIndex chunks = (points + chunk_points - 1) / chunk_points;
    threads = std::clamp<PointIndex>(thread_count, 1, std::max<PointIndex>(1, chunks));
  }
};

// What every thread shares: the unit and its line end, the map, the walk and its plan, and the
// turn to write.
struct Conversion {
  int unit;
  textio::ShortLineEnd line_end;  // of the unit's records
  const MapBlock& block;
  const symmetry::OperatorSet& operators;
  const GridWalk& walk;
  const ChunkPlan& plan;
  PointIndex guess_points;
  WriteTurn& turn;
  GridValueSink* sink;  // takes the values written, or nullptr
};

// One thread's share: its own sampler and text cache, and the chunk in hand.
class ChunkWriter {
 public:
  explicit ChunkWriter(const Conversion& shared)
      : shared_(shared),
        sampler_(shared.block, shared.operators),
        cache_(shared.block.values.size()) {}

  // Writes chunks `first_chunk`, then every `plan.threads`-th after it, when their turns come.
  void write_chunks(PointIndex first_chunk) {
    const ChunkPlan& plan = shared_.plan;
    WriteTurn& turn = shared_.turn;
    PointIndex last_written = -1;
    for (PointIndex chunk = first_chunk; chunk * plan.chunk_points < plan.points;
         chunk += plan.threads) {
      const PointIndex first = chunk * plan.chunk_points;
      const PointIndex end = std::min(plan.points, first + plan.chunk_points);
      // After its own previous chunk the sampler stands where this one begins.
      if (last_written != chunk - 1) guess_search_start(first);
      const SearchStart guessed = sampler_.search_start();
      sample_and_format(first, end);
      SearchStart actual;
      if (!turn.wait_for(chunk, actual)) return;
      if (actual != guessed) {
        sampler_.resume_search_at(actual);
        sample_and_format(first, end);
      }
      textio::write_whole_records(shared_.unit, text_);
      if (shared_.sink != nullptr) shared_.sink->take(values_.data(), values_.size());
      turn.pass_on(sampler_.search_start(), counts_in_chunk_);
      last_written = chunk;
      if (turn.failed()) return;
    }
  }

 private:
  // The points just before a chunk almost always lead the search to where it stands when the
  // chunk begins, whatever it started from.
  void guess_search_start(PointIndex first) {
    sample(std::max<PointIndex>(0, first - shared_.guess_points), first);
  }

  void sample_and_format(PointIndex first, PointIndex end) {
    // Only the sampling that is written counts: a guess, or a chunk sampled again, is not.
    const std::int64_t uncovered_before = sampler_.uncovered_points();
    sample(first, end);
    const PointIndex uncovered = sampler_.uncovered_points() - uncovered_before;
    // A value without a code is interpolated, or 0 for a point without an image. Counted here,
    // where the codes are looked at anyway, it costs the sampling nothing.
    PointIndex without_code = 0;
    text_.resize(samples_.size() * (textio::kListRealMaxLength + shared_.line_end.size()));
    char* out = text_.data();
    for (std::size_t i = 0; i < samples_.size();) {
      if (i + textio::kListRealBatch <= samples_.size() && all_interpolated(i)) {
        out += format_interpolated(i, out);
        without_code += static_cast<PointIndex>(textio::kListRealBatch);
        i += textio::kListRealBatch;
        continue;
      }
      if (i + kPrefetchDistance < samples_.size())
        prefetch_text_of(samples_[i + kPrefetchDistance]);
      without_code += samples_[i].code == Sample::kNoCode;
      out += text_of(samples_[i], out);
      out += shared_.line_end.put(out);
      ++i;
    }
    text_.resize(static_cast<std::size_t>(out - text_.data()));
    counts_in_chunk_ = {uncovered, without_code - uncovered};
    if (shared_.sink != nullptr) values_for_sink();
  }

  // The values as a reader of the text meets them: nine significant digits give back every float,
  // but the text of -0 has no sign. Made before the turn, which is kept short.
  void values_for_sink() {
    values_.resize(samples_.size());
    for (std::size_t i = 0; i < samples_.size(); ++i) {
      const float value = samples_[i].value;
      values_[i] = value == 0.0f ? 0.0f : value;
    }
  }

  // Interpolated values seldom recur: a batch of them is converted together.
  bool all_interpolated(std::size_t first) const {
    for (std::size_t i = first; i < first + textio::kListRealBatch; ++i) {
      if (samples_[i].code != Sample::kNoCode) return false;
    }
    return true;
  }

  std::size_t format_interpolated(std::size_t first, char* out) const {
    float values[textio::kListRealBatch];
    for (std::size_t i = 0; i < textio::kListRealBatch; ++i) values[i] = samples_[first + i].value;
    return textio::format_list_real_lines(values, shared_.line_end, out);
  }

  void sample(PointIndex first, PointIndex end) {
    samples_.resize(static_cast<std::size_t>(end - first));
    Sample* out = samples_.data();
    shared_.walk.walk_rows(first, end, [&](float x, float y, const float* z, std::size_t count) {
      sampler_.sample_row(x, y, z, count, out);
      out += count;
    });
  }

  // A stored point's value recurs wherever symmetry brings that point back, and its code keeps
  // it in the cache (which has a slot for each of the block's values, up to one per code); an
  // interpolated value seldom recurs and is formatted straight away.
  std::size_t text_of(const Sample& sample, char* out) {
    if (sample.code == Sample::kNoCode) return textio::format_list_real(sample.value, out);
    return cache_.format(sample.value, slot_of(sample), out);
  }

  void prefetch_text_of(const Sample& sample) const {
    if (sample.code != Sample::kNoCode) cache_.prefetch(slot_of(sample));
  }

  static std::uint16_t slot_of(const Sample& sample) {
    return static_cast<std::uint16_t>(sample.code);
  }

  // How many values ahead the cache slot of a value is fetched.
  static constexpr std::size_t kPrefetchDistance = 16;

  const Conversion& shared_;
  MapSampler sampler_;
  textio::ListRealCache cache_;
  std::vector<Sample> samples_;
  GridValueCounts counts_in_chunk_;  // of the samples in hand
  std::string text_;
  std::vector<float> values_;  // of the samples in hand, for the sink
};

// One thread's work; whatever goes wrong on it ends every thread's work.
void write_share(const Conversion& c, PointIndex first_chunk) {
  try {
    ChunkWriter(c).write_chunks(first_chunk);
  } catch (...) {
    c.turn.fail(std::current_exception());
  }
}

}  // namespace

GridValueCounts write_grid_values(int unit, const MapBlock& block,
                                  const symmetry::OperatorSet& operators, int thread_count,
                                  std::int64_t guess_points, GridValueSink* sink) {
  const GridWalk walk(block.grid_divisions);
  const ChunkPlan plan(walk.point_count(), std::max(thread_count, 1));
  WriteTurn turn;
  const textio::ShortLineEnd line_end(textio::record_end(unit));
  const Conversion conversion{unit, line_end,     block, operators, walk,
                              plan, guess_points, turn,  sink};
  {
    std::vector<std::jthread> helpers;
    try {
      for (PointIndex t = 1; t < plan.threads; ++t)
        helpers.emplace_back(write_share, conversion, t);
    } catch (...) {
      // The threads already started would wait for a chunk that no thread writes.
      turn.fail(std::current_exception());
    }
    if (!turn.failed()) write_share(conversion, 0);
  }
  turn.rethrow_failure();
  return turn.written();
}

}  // namespace conversion

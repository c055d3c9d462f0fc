// The map sampler's rows on arbitrary blocks of any space group, Patterson-type or not: with its
// batches in vector registers the sampler must give every grid point the value and code, and
// leave the search where, the portable batches do, bit for bit.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "conversion/map_block.hpp"
#include "conversion/map_sampler.hpp"
#include "fuzzing/inputs.hpp"
#include "fuzzing/session.hpp"
#include "symmetry/interpreter.hpp"

namespace {

conversion::MapBlock block_of(const fuzzing::SamplerInput& input) {
  conversion::MapBlock block;
  block.density_minimum = -1.5f;
  block.density_maximum = 2.5f;
  block.density_range = 4.0f;
  std::size_t count = 1;
  for (std::size_t axis = 0; axis < 3; ++axis) {
    const int divisions = 1 + input.divisions[axis] % fuzzing::kMostSamplerDivisions;
    block.grid_divisions[axis] = divisions;
    block.block_start[axis] = input.starts[axis];
    block.block_steps[axis] = 1 + input.steps[axis] % (divisions / 2 + 4);
    count *= static_cast<std::size_t>(block.block_steps[axis]);
  }
  block.values.resize(count);
  for (std::size_t e = 0; e < count && !input.codes.empty(); ++e) {
    block.values[e] = input.codes[e % input.codes.size()];
  }
  return block;
}

bool same(const conversion::Sample& a, const conversion::Sample& b) {
  return std::bit_cast<std::uint32_t>(a.value) == std::bit_cast<std::uint32_t>(b.value) &&
         a.code == b.code;
}

void compare_rows(const conversion::MapBlock& block, const symmetry::OperatorSet& set) {
  using conversion::BatchCode;
  conversion::MapSampler portable(block, set, BatchCode::portable);
  conversion::MapSampler vector(block, set, BatchCode::vector_where_available);
  const auto [n1, n2, n3] = block.grid_divisions;
  std::vector<float> z;
  for (int k = 0; k < n3; ++k) z.push_back(static_cast<float>(k) / static_cast<float>(n3));
  std::vector<conversion::Sample> expected(z.size()), got(z.size());
  for (int i = 0; i < n1; ++i) {
    for (int j = 0; j < n2; ++j) {
      const float x = static_cast<float>(i) / static_cast<float>(n1);
      const float y = static_cast<float>(j) / static_cast<float>(n2);
      portable.sample_row(x, y, z.data(), z.size(), expected.data());
      vector.sample_row(x, y, z.data(), z.size(), got.data());
      for (std::size_t k = 0; k < z.size(); ++k) {
        if (!same(got[k], expected[k])) {
          fuzzing::fail("[" + set.symbol + "] at " + std::to_string(i) + " " + std::to_string(j) +
                        " " + std::to_string(k) + ": " + std::to_string(got[k].value) + " code " +
                        std::to_string(got[k].code) + " in vectors, " +
                        std::to_string(expected[k].value) + " code " +
                        std::to_string(expected[k].code) + " portably");
        }
      }
      if (!(vector.search_start() == portable.search_start())) {
        fuzzing::fail("[" + set.symbol + "] the search ends elsewhere after row " +
                      std::to_string(i) + " " + std::to_string(j));
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzzing::SamplerInput input =
      fuzzing::decode_sampler_input({reinterpret_cast<const char*>(data), size});
  symmetry::OperatorSet set;
  set.symbol = input.symbol;
  int error = -1;
  fuzzing::ConsoleSession session;
  const fuzzing::Outcome outcome =
      session.run([&] { error = symmetry::interpret_symbol(set, 0, 0); });
  if (outcome.ending != fuzzing::Ending::returned || error != 0) return 0;
  if (input.patterson) {
    set.centric = 1;
    for (int k = 0; k < set.operator_count; ++k) set.operators[k].translation = {0, 0, 0};
  }
  compare_rows(block_of(input), set);
  return 0;
}

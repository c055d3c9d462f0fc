// Writes on textio units that only tests, benchmarks and fuzz targets make.
#pragma once

#include <cstddef>
#include <span>

namespace support {

// One list-directed record holding one real on a sequential unit, made as the grid file makes
// its records: the real's list-directed text and the unit's record end in one write.
void write_list_real(int unit, float value);

// Writes record `record` of a direct-access unit from `bytes`; a failure raises IoFailure.
void write_direct_bytes(int unit, int record, std::span<const std::byte> bytes);

}  // namespace support

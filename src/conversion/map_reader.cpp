#include "conversion/map_reader.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <new>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "expfile/keys.hpp"
#include "expfile/store.hpp"
#include "os/os.hpp"
#include "textio/records.hpp"
#include "textio/status.hpp"
#include "textio/text.hpp"
#include "textio/units.hpp"

namespace conversion {

namespace {

constexpr int kTitleRecord = 1;
constexpr int kGeometryRecord = 2;
constexpr int kSectionTrailerWords = 2;
constexpr int kFirstDataRecord = 3;
// The grid file writes the divisions with I4: a larger one would show as "****" above billions of
// value lines.
constexpr int kMaxGridDivisions = 9999;

long long file_size(const std::string& name) {
  os::FileStatus status;
  return os::file_status(name, status) == 0 ? static_cast<long long>(status.size) : -1;
}

// The grid file's title line: the problem title of the experiment and the map type.
std::string grid_title_line(const std::string& description, const MapTitleRecord& title) {
  return textio::fit(description.substr(2, 50) + " " + title.map_type, kMapTextLength);
}

// One reading of the map file open on a unit: every check refuses the file on the run's
// terminal.
class MapReading {
 public:
  MapReading(const ConversionRun& run, int map_unit) : run_(run), unit_(map_unit) {}

  LoadedMap read(const GridDivisionsReady& divisions_ready);

 private:
  [[noreturn]] void refuse(const std::string& reason) const;
  void read_header_record(int record, std::span<std::byte> bytes) const;
  MapHeader read_header() const;
  void check_grid_divisions(const Triple& divisions) const;
  void check_geometry(const MapHeader& header) const;
  std::vector<float> allocate_section_buffer(int section_size) const;
  MapTitleRecord read_title() const;
  float start_block(const MapHeader& header, MapBlock& block) const;
  void check_density_limits(const MapHeader& header) const;
  std::vector<std::int16_t> allocate_block(const Triple& steps) const;
  void report_parameters(const MapBlock& block, float scale) const;
  void read_section(int section, int section_size, std::vector<float>& work) const;
  long long store_sections(const MapHeader& header, float scale, std::vector<float>& work,
                           MapBlock& block) const;

  const ConversionRun& run_;
  int unit_;
};

LoadedMap MapReading::read(const GridDivisionsReady& divisions_ready) {
  LoadedMap map;
  const MapHeader header = read_header();
  std::vector<float> section_buffer = allocate_section_buffer(header.section_size);
  const MapTitleRecord title = read_title();
  const float scale = start_block(header, map.block);
  if (divisions_ready) divisions_ready(map.block.grid_divisions);
  std::string description(expfile::kValueLength, ' ');
  expfile::KEYREAD(run_.experiment_unit, expfile::kDescriptionKey, description);
  map.title_line = grid_title_line(description, title);
  map.title = title;
  const int terminal = run_.terminal_unit;
  textio::write_record(terminal, "(2A)", " Problem title: ", description.substr(2));
  textio::write_record(terminal, "(2A)", " Phase name: ", title.phase_name);
  report_parameters(map.block, scale);
  const long long stored = store_sections(header, scale, section_buffer, map.block);
  textio::close_unit(unit_);
  textio::write_record(terminal, "(A,I7,A)", " There were", stored, " map elements stored");
  return map;
}

void MapReading::refuse(const std::string& reason) const {
  textio::write_record(run_.terminal_unit, "(A)", " **** " + reason + " ****");
  textio::stop_run("REDFMP");
}

// A header record; a file too short to hold it is refused.
void MapReading::read_header_record(int record, std::span<std::byte> bytes) const {
  int status = textio::try_read_direct_bytes(unit_, record, bytes);
  if (status == textio::kEndOfFile) refuse("Map file is too short for its headers");
  if (status != textio::kOk) textio::raise_io_failure(status);
}

// Header record 2; a header that does not describe a block that the file holds is refused.
MapHeader MapReading::read_header() const {
  if (textio::unit_record_length(unit_) < static_cast<int>(kTitleRecordBytes)) {
    refuse("Map file record length is too short for its sections");
  }
  std::array<std::byte, kGeometryRecordBytes> bytes{};
  read_header_record(kGeometryRecord, bytes);
  MapHeader header = read_geometry_record(bytes);
  check_geometry(header);
  return header;
}

void MapReading::check_grid_divisions(const Triple& divisions) const {
  for (int n : divisions) {
    if (n < 1) refuse("Map file has grid divisions below 1");
    if (n > kMaxGridDivisions) {
      refuse("Map grid divisions " + std::to_string(divisions[0]) + " " +
             std::to_string(divisions[1]) + " " + std::to_string(divisions[2]) +
             " exceed the grid file's limit of " + std::to_string(kMaxGridDivisions));
    }
  }
}

// Refuses a map file whose header does not describe a readable block, or a grid too fine for the
// grid file.
void MapReading::check_geometry(const MapHeader& header) const {
  check_grid_divisions(header.grid_divisions);
  for (int axis = 0; axis < 3; ++axis) {
    if (header.block_steps[axis] < 1) refuse("Map file has block steps below 1");
  }
  long long plane = static_cast<long long>(header.block_steps[0]) * header.block_steps[1];
  if (header.section_size < plane) refuse("Map file section size is smaller than a section");
  long long section = header.section_size;
  long long records = (section + kValuesPerRecord - 1) / kValuesPerRecord;
  long long last_values = section - (records - 1) * kValuesPerRecord;
  long long record_bytes = static_cast<long long>(textio::unit_record_length(unit_));
  long long needed = kMapWordBytes * std::max(last_values + kSectionTrailerWords,
                                              records > 1 ? kValuesPerRecord : 0LL);
  if (record_bytes < std::max<long long>(needed, kTitleRecordBytes)) {
    refuse("Map file record length is too short for its sections");
  }
  long long last_record = kFirstDataRecord - 1 + records * header.block_steps[2];
  long long last_record_start = 0, needed_size = 0;
  bool overflow =
      __builtin_mul_overflow(last_record - 1, record_bytes, &last_record_start) ||
      __builtin_add_overflow(last_record_start,
                             kMapWordBytes * (last_values + kSectionTrailerWords), &needed_size);
  if (overflow || file_size(textio::unit_file_name(unit_)) < needed_size) {
    refuse("Map file is too short for its sections");
  }
}

std::vector<float> MapReading::allocate_section_buffer(int section_size) const {
  if (section_size >= 1) {
    try {
      return std::vector<float>(static_cast<std::size_t>(section_size));
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
  }
  textio::write_record(run_.terminal_unit, "(A,I12,A)", " **** Cannot hold a map section of",
                       section_size, " values ****");
  textio::stop_run("REDFMP");
}

// Header record 1; a file too short for it is refused.
MapTitleRecord MapReading::read_title() const {
  std::array<std::byte, kTitleRecordBytes> bytes{};
  read_header_record(kTitleRecord, bytes);
  return read_title_record(bytes);
}

// Starts `block` from header record 2: the density limits scaled, the geometry in x, y, z order
// and room for the values. Returns the scale factor. Limits that are not numbers or no range, or
// cannot be scaled, and a block too large to hold are refused.
float MapReading::start_block(const MapHeader& header, MapBlock& block) const {
  check_density_limits(header);
  float scale = map_scale_factor(std::max(header.density_maximum, -header.density_minimum));
  block.density_maximum = header.density_maximum * scale;
  block.density_minimum = header.density_minimum * scale;
  block.density_range = block.density_maximum - block.density_minimum;
  if (!std::isfinite(block.density_range) || !(block.density_range > 0.0f)) {
    refuse("Map density limits cannot be scaled");
  }
  block.values = allocate_block(header.block_steps);
  block.grid_divisions = header.grid_divisions;
  block.block_start = header.block_start;
  block.block_steps = header.block_steps;
  int rotations = std::max(header.rotation_count, 0);
  rotate_to_xyz(block.grid_divisions, rotations);
  rotate_to_xyz(block.block_start, rotations);
  rotate_to_xyz(block.block_steps, rotations);
  return scale;
}

void MapReading::check_density_limits(const MapHeader& header) const {
  if (!std::isfinite(header.density_maximum) || !std::isfinite(header.density_minimum)) {
    refuse("Map file density limits are not numbers");
  }
  if (!(header.density_maximum - header.density_minimum > 0.0f)) {
    refuse("Null Fourier map - ERROR");
  }
}

std::vector<std::int16_t> MapReading::allocate_block(const Triple& steps) const {
  unsigned long long count = 1;
  for (int n : steps) {
    if (__builtin_mul_overflow(count, static_cast<unsigned long long>(n), &count)) {
      refuse("Map block is too large to hold");
    }
  }
  try {
    return std::vector<std::int16_t>(static_cast<std::size_t>(count));
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  refuse("Map block is too large to hold");
}

void MapReading::report_parameters(const MapBlock& block, float scale) const {
  const int terminal = run_.terminal_unit;
  textio::write_record(terminal, "(A)", " Map parameters:");
  const char* axes[] = {"X", "Y", "Z"};
  for (int axis = 0; axis < 3; ++axis) {
    textio::write_record(terminal, "(3A,I5,A,I5,A,I5,A)", " Map ", axes[axis], " axis divided into",
                         block.grid_divisions[axis], " steps, from", block.block_start[axis],
                         " and covering", block.block_steps[axis], " steps");
  }
  textio::write_record(terminal, "(A,1P,G7.0)", " Map scaling factor ", 1.0f / scale);
  textio::write_record(terminal, "(A,F6.2,A,F6.2)", " Rescaled rho limits from ",
                       block.density_minimum, " to ", block.density_maximum);
}

// Reads section `section` (from 0) into the work buffer, record by record.
void MapReading::read_section(int section, int section_size, std::vector<float>& work) const {
  int records = (section_size + kValuesPerRecord - 1) / kValuesPerRecord;
  int record = kFirstDataRecord + section * records;
  std::vector<std::byte> bytes;
  for (int first = 0; first < section_size; first += kValuesPerRecord, ++record) {
    int count = std::min(kValuesPerRecord, section_size - first);
    bool last = first + count == section_size;
    bytes.resize(static_cast<std::size_t>(count + (last ? kSectionTrailerWords : 0)) *
                 kMapWordBytes);
    textio::read_direct_bytes(unit_, record, bytes);
    load_little_endian_floats(bytes.data(), static_cast<std::size_t>(count), work.data() + first);
  }
}

// Stores the sections of the map, taking file-order offsets to x, y, z order. Returns the
// 1-based element number of the last value stored.
long long MapReading::store_sections(const MapHeader& header, float scale, std::vector<float>& work,
                                     MapBlock& block) const {
  const Triple& file_steps = header.block_steps;
  // Element stride of each file axis in the block.
  Triple file_axis = {0, 1, 2};
  rotate_to_xyz(file_axis, std::max(header.rotation_count, 0));
  std::array<long long, 3> xyz_stride = {
      1, block.block_steps[0], static_cast<long long>(block.block_steps[0]) * block.block_steps[1]};
  std::array<long long, 3> file_stride{};
  for (int position = 0; position < 3; ++position)
    file_stride[file_axis[position]] = xyz_stride[position];
  long long last = 0;
  for (int s = 0; s < file_steps[2]; ++s) {
    read_section(s, header.section_size, work);
    const float* value = work.data();
    for (int j = 0; j < file_steps[1]; ++j) {
      for (int i = 0; i < file_steps[0]; ++i) {
        long long element = i * file_stride[0] + j * file_stride[1] + s * file_stride[2];
        if (!std::isfinite(*value)) refuse("Map file holds values that are not numbers");
        block.values[static_cast<std::size_t>(element)] =
            encode_density(*value++ * scale, block.density_minimum, block.density_range);
        last = element + 1;
      }
    }
  }
  return last;
}

}  // namespace

LoadedMap read_map(const ConversionRun& run, int map_unit,
                   const GridDivisionsReady& divisions_ready) {
  return MapReading(run, map_unit).read(divisions_ready);
}

std::int16_t encode_density(float density, float minimum, float range) {
  // e is rounded to single precision once; the product with 32767 is exact in double, so only
  // the truncation toward zero acts on it.
  auto e = static_cast<float>(2.0 * (static_cast<double>(density) - minimum) / range - 1.0);
  if (e > 1.0f) e = 1.0f;
  if (e < -1.0f) e = -1.0f;
  return static_cast<std::int16_t>(static_cast<double>(kCodeScale) * e);
}

float map_scale_factor(float largest) {
  float logarithm = std::log10(largest);
  long exponent = std::isfinite(logarithm) ? std::lround(logarithm) : 0;
  if (exponent == 0 || exponent == 1) return 1.0f;
  // The power is formed by repeated squaring at extended precision and rounded once.
  long double base =
      exponent > 0 ? static_cast<long double>(0.1f) : static_cast<long double>(10.0f);
  long power = exponent > 0 ? exponent - 1 : 1 - exponent;
  long double result = 1.0L;
  while (power > 0) {
    if (power & 1) result *= base;
    base *= base;
    power >>= 1;
  }
  return static_cast<float>(result);
}

}  // namespace conversion

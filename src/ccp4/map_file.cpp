#include "ccp4/map_file.hpp"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <gemmi/ccp4.hpp>
#include <optional>
#include <stdexcept>

#include "analysis/space_group.hpp"
#include "os/os.hpp"

namespace ccp4 {

namespace {

constexpr int kModeReal32 = 2;
constexpr int kModeWord = 4;
constexpr int kMinimumWord = 20;
constexpr int kMaximumWord = 21;
constexpr int kMeanWord = 22;
constexpr int kSpaceGroupWord = 23;
constexpr int kRmsWord = 55;
constexpr int kFirstLabelWord = 57;
constexpr std::size_t kLabelWidth = 80;

std::string label_of(const std::string& title) {
  std::string label = title.substr(0, kLabelWidth);
  label.resize(kLabelWidth, ' ');
  return label;
}

template <typename... Values>
std::string printed(const char* format, Values... values) {
  const int length = std::snprintf(nullptr, 0, format, values...);
  std::string text(std::size_t(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, values...);
  text.resize(std::size_t(length));
  return text;
}

// " (mean + 4.25 sd)": how far `value` lies from the mean in standard deviations; nothing for a
// map whose values are all equal.
std::string in_standard_deviations(double value, const MapStatistics& statistics) {
  if (!(statistics.sigma > 0)) return "";
  const double deviations = (value - statistics.mean) / statistics.sigma;
  return printed(" (mean %c %.3g sd)", deviations < 0 ? '-' : '+', std::abs(deviations));
}

}  // namespace

std::string header_bytes(const MapDescription& description, const MapStatistics& statistics) {
  gemmi::Ccp4<float> map;
  map.grid.spacegroup =
      description.group != nullptr ? description.group : &gemmi::get_spacegroup_p1();
  const auto& [a, b, c] = description.lengths;
  const auto& [alpha, beta, gamma] = description.angles;
  map.grid.unit_cell.set(a, b, c, alpha, beta, gamma);
  map.grid.nu = description.divisions[0];
  map.grid.nv = description.divisions[1];
  map.grid.nw = description.divisions[2];
  map.grid.axis_order = gemmi::AxisOrder::XYZ;
  map.prepare_ccp4_header_except_mode_and_stats();
  map.set_header_i32(kModeWord, kModeReal32);
  map.set_header_float(kMinimumWord, float(statistics.minimum));
  map.set_header_float(kMaximumWord, float(statistics.maximum));
  map.set_header_float(kMeanWord, float(statistics.mean));
  map.set_header_float(kRmsWord, float(statistics.sigma));
  // gemmi's table has a CCP4 number only for the first setting of a group: another setting (an
  // origin choice 2) still carries the group's number beside its own operations.
  if (description.group != nullptr && description.group->ccp4 == 0) {
    map.set_header_i32(kSpaceGroupWord, description.group->number);
  }
  map.set_header_str(kFirstLabelWord, label_of(description.title));
  std::string bytes(map.ccp4_header.size() * sizeof(std::int32_t), '\0');
  std::memcpy(bytes.data(), map.ccp4_header.data(), bytes.size());
  return bytes;
}

HeaderGroup header_group_of(const analysis::SpaceGroup& group) {
  const gemmi::SpaceGroup* entry =
      group.table_name.empty() ? nullptr : gemmi::find_spacegroup_by_name(group.table_name);
  if (entry == nullptr) {
    return {nullptr, "", "the space group " + group.symbol + " has no number; the map says P 1"};
  }
  return {entry,
          ", space group " + group.symbol + " (number " + std::to_string(entry->number) +
              (group.two_origins ? ", origin choice 2" : "") + ")",
          ""};
}

HeaderGroup header_group_of_symbol(const std::string& symbol, std::string_view map_type,
                                   const std::string& where) {
  const std::optional<analysis::SpaceGroup> group = analysis::group_of_symbol(symbol, map_type);
  if (!group) {
    return {nullptr, "",
            where + ": the space-group symbol \"" + symbol +
                "\" cannot be interpreted; the map says P 1"};
  }
  return header_group_of(*group);
}

std::string map_file_beside(const std::string& grid_file) {
  std::filesystem::path map = os::path_of(grid_file);
  map.replace_extension(".ccp4");
  return os::name_of(map);
}

std::string report_line(const std::string& name, const Divisions& divisions,
                        const MapStatistics& statistics, const std::string& group_words) {
  return printed(
      "Wrote %s: %d x %d x %d points, mean %g, standard deviation %g, r.m.s. %g, maximum %g%s, "
      "minimum %g%s%s",
      name.c_str(), divisions[0], divisions[1], divisions[2], statistics.mean, statistics.sigma,
      statistics.rms(), statistics.maximum,
      in_standard_deviations(statistics.maximum, statistics).c_str(), statistics.minimum,
      in_standard_deviations(statistics.minimum, statistics).c_str(), group_words.c_str());
}

MapFile::MapFile(const std::string& name) : name_(name) {
  // Like the grid file, the map can always be made again: the disk is not waited for.
  if (const int status = replacement_.begin(name, {.durable = false})) fail(status);
}

void MapFile::write(const std::string& header, std::span<const float> values) {
  std::FILE* stream = replacement_.stream();
  errno = 0;
  const bool written =
      std::fwrite(header.data(), 1, header.size(), stream) == header.size() &&
      std::fwrite(values.data(), sizeof(float), values.size(), stream) == values.size();
  if (!written) fail(errno != 0 ? errno : EIO);
  finish_writing();
}

void MapFile::write_whole(std::span<const std::byte> file_bytes) {
  if (const int status =
          os::write_past_cache(replacement_.stream(), file_bytes.data(), file_bytes.size())) {
    fail(status);
  }
  finish_writing();
}

// A device or a FIFO has taken the map already; a file waits for its commit, closed, so that a
// failure that only shows when it is closed is met before anything takes a name.
void MapFile::finish_writing() {
  const int status = replacement_.in_place() ? replacement_.commit() : replacement_.close_stream();
  if (status != 0) fail(status);
}

void MapFile::commit() {
  if (const int status = replacement_.commit()) fail(status);
}

void MapFile::fail(int error) const {
  throw std::runtime_error(name_ + ": cannot write the map: " + std::strerror(error));
}

}  // namespace ccp4

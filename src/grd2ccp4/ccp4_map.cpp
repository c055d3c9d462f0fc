#include "grd2ccp4/ccp4_map.hpp"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#include "os/os.hpp"
#include "textio/temporary_file.hpp"

namespace grd2ccp4 {

namespace {

constexpr int kModeReal32 = 2;
constexpr int kFirstLabelWord = 57;
constexpr int kRmsWord = 55;
constexpr int kSpaceGroupWord = 23;
constexpr std::size_t kLabelWidth = 80;

// The values are in the map's order already: they are taken over, not copied.
void fill_values(MapContent& content, gemmi::Grid<float>& map) {
  const std::array<int, 3>& n = content.divisions;
  if (content.values.size() != std::size_t(n[0]) * std::size_t(n[1]) * std::size_t(n[2])) {
    throw std::invalid_argument("the grid's values do not fill its divisions");
  }
  map.data = std::move(content.values);
  map.set_size_without_checking(n[0], n[1], n[2]);
}

std::string label_of(const std::string& title) {
  std::string label = title.substr(0, kLabelWidth);
  label.resize(kLabelWidth, ' ');
  return label;
}

std::uintmax_t file_bytes_of(const gemmi::Ccp4<float>& map) {
  return 4 * (std::uintmax_t{map.ccp4_header.size()} + std::uintmax_t{map.grid.data.size()});
}

}  // namespace

gemmi::Ccp4<float> ccp4_map_of(MapContent content, const gemmi::SpaceGroup* group) {
  gemmi::Ccp4<float> map;
  map.grid.spacegroup = group != nullptr ? group : &gemmi::get_spacegroup_p1();
  map.grid.set_unit_cell(content.lengths[0], content.lengths[1], content.lengths[2],
                         content.angles[0], content.angles[1], content.angles[2]);
  fill_values(content, map.grid);
  map.update_ccp4_header(kModeReal32, true);
  // gemmi's table has a CCP4 number only for the first setting of a group: another setting (an
  // origin choice 2) still carries the group's number beside its own operations.
  if (group != nullptr && group->ccp4 == 0) map.set_header_i32(kSpaceGroupWord, group->number);
  // A flat map can leave a tiny negative variance behind in the statistics' rounding.
  if (!std::isfinite(map.hstats.rms)) {
    map.hstats.rms = 0.0;
    map.set_header_float(kRmsWord, 0.0f);
  }
  map.set_header_str(kFirstLabelWord, label_of(content.title));
  return map;
}

gemmi::Ccp4<float> ccp4_map_of(GridFile grid, const gemmi::SpaceGroup* group) {
  return ccp4_map_of(MapContent{std::move(grid.values), grid.divisions, grid.lengths, grid.angles,
                                std::move(grid.title)},
                     group);
}

namespace {

[[noreturn]] void fail_to_write(const std::filesystem::path& path, const std::string& reason) {
  throw std::runtime_error(os::name_of(path) + ": cannot write the map: " + reason);
}

// A temporary file beside the replaced file (a symbolic link's target), closed: gemmi's writer
// opens it again by its name.
textio::TemporaryFile make_temporary_file(const std::filesystem::path& path,
                                          const textio::ReplacementTarget& target) {
  textio::TemporaryFile temporary;
  // Like the grid file, the map can always be made again from its grid file.
  temporary.durable = false;
  std::FILE* file = nullptr;
  if (int status = textio::create_temporary_file(target.path, false, temporary, file)) {
    fail_to_write(path, std::strerror(status));
  }
  if (std::fclose(file) != 0) {
    const int error = errno;
    textio::discard_temporary_file(temporary);
    fail_to_write(path, std::strerror(error));
  }
  return temporary;
}

// A device or a FIFO takes the map as it is written; there is no file to replace.
void write_in_place(const gemmi::Ccp4<float>& map, const std::filesystem::path& path) {
  try {
    map.write_ccp4_map(os::name_of(path));
  } catch (const std::exception& failure) {
    fail_to_write(path, failure.what());
  }
}

void write_through_temporary(const gemmi::Ccp4<float>& map, const std::filesystem::path& path,
                             const textio::ReplacementTarget& target) {
  const textio::TemporaryFile temporary = make_temporary_file(path, target);
  try {
    map.write_ccp4_map(temporary.path);
    // The writer does not report a failure that only shows when the file is closed; such a
    // failure leaves the file short.
    os::FileStatus written;
    const int status = os::file_status(temporary.path, written);
    if (status != 0) throw std::runtime_error(std::strerror(status));
    if (static_cast<std::uintmax_t>(written.size) != file_bytes_of(map)) {
      throw std::runtime_error("the file was not written whole");
    }
  } catch (const std::exception& failure) {
    textio::discard_temporary_file(temporary);
    fail_to_write(path, failure.what());
  }
  if (const int status = textio::put_temporary_in_place(temporary)) {
    fail_to_write(path, std::strerror(status));
  }
}

}  // namespace

void write_ccp4_map(const gemmi::Ccp4<float>& map, const std::filesystem::path& path) {
  textio::ReplacementTarget target;
  if (int status = textio::replacement_target(os::name_of(path), target)) {
    fail_to_write(path, std::strerror(status));
  }
  if (target.in_place) {
    write_in_place(map, path);
  } else {
    write_through_temporary(map, path, target);
  }
}

}  // namespace grd2ccp4

// The CCP4/MRC map file of a grid over the whole cell: 32-bit reals (mode 2), columns along x,
// rows along y and sections along z (axis order 1 2 3), sampled N1 N2 N3 from the origin, with the
// minimum, maximum, mean and r.m.s. deviation in the header and the space group's number and
// operations in its symmetry records (P 1 when the group is not known). The values cover the
// whole cell whatever the group. grd2ccp4 and mapconv --ccp4 write it the same way, byte for byte.
//
// Threads: the main thread; nothing here keeps state beyond a MapFile's own.
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

#include "ccp4/map_values.hpp"
#include "textio/file_replacement.hpp"

namespace gemmi {
struct SpaceGroup;
}

namespace analysis {
struct SpaceGroup;
}

namespace ccp4 {

// What the header says of the map besides its figures. The title, cut to 80 characters, becomes
// the map's label; `group` is gemmi's table entry (nullptr for P 1).
struct MapDescription {
  Divisions divisions{};
  std::array<float, 3> lengths{};  // a, b, c
  std::array<float, 3> angles{};   // alpha, beta, gamma in degrees
  std::string title;
  const gemmi::SpaceGroup* group = nullptr;
};

// The header's bytes: 1024 and 80 for each of the group's operations.
std::string header_bytes(const MapDescription& description, const MapStatistics& statistics);
// The largest header: a group of 192 operations.
constexpr std::size_t kLargestHeaderSize = 1024 + 192 * 80;

// The map's group as the header carries it, its words for the report line (empty for P 1), and
// a note for standard error when the group could not be carried (empty when it was).
struct HeaderGroup {
  const gemmi::SpaceGroup* entry = nullptr;
  std::string words;
  std::string note;
};

// The header group of an interpreted group: P 1, with a note, when gemmi's table has no number
// for it.
HeaderGroup header_group_of(const analysis::SpaceGroup& group);

// The header group of a map of `map_type` whose space-group symbol was read from `where` (an
// experiment file): P 1, with a note, when the symbol cannot be interpreted.
HeaderGroup header_group_of_symbol(const std::string& symbol, std::string_view map_type,
                                   const std::string& where);

// The map beside a grid file: its name with the extension replaced by ".ccp4".
std::string map_file_beside(const std::string& grid_file);

// The line that names the written map and its figures: the mean, the standard deviation about
// the mean, the r.m.s. about zero, the maximum and minimum also in standard deviations from the
// mean, then the group's words. Without a line end.
std::string report_line(const std::string& name, const Divisions& divisions,
                        const MapStatistics& statistics, const std::string& group_words);

// A map file being written: to a temporary file beside it (a symbolic link's target), which takes
// the name on commit, or straight into a device or a FIFO. A map file that is not committed
// leaves the name as it was. Every failure throws std::runtime_error naming the file and the
// reason ("ALPHA.ccp4: cannot write the map: No space left on device").
class MapFile {
 public:
  // Starts the replacement of `name`; a directory or a name that cannot be written fails here,
  // before anything else is written.
  explicit MapFile(const std::string& name);

  // Writes the whole map: the header, then the values in the map's order.
  void write(const std::string& header, std::span<const float> values);
  // Writes the whole map from one piece of memory, the header's bytes before the values, past the
  // system's file cache where it can: a viewer seldom reads the map at once, and a cache of the
  // map's size costs as much fresh memory as the map.
  void write_whole(std::span<const std::byte> file_bytes);

  // Puts the written map in its place.
  void commit();

  const std::string& name() const { return name_; }

 private:
  [[noreturn]] void fail(int error) const;
  void finish_writing();

  std::string name_;
  textio::FileReplacement replacement_;
};

}  // namespace ccp4

// A model of the structure, read from a small-molecule CIF through gemmi's CIF reader: its cell
// and its atoms (label and fractional position), and the atom nearest a position of a map under
// the map's space group, with the symmetry image that brings it there.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/map_grid.hpp"
#include "analysis/peaks.hpp"
#include "analysis/space_group.hpp"

namespace analysis {

struct ModelAtom {
  std::string label;                 // _atom_site_label
  std::array<double, 3> position{};  // _atom_site_fract_x, _y, _z as the file gives them
};

struct Model {
  std::string file;                 // the file's name, as messages give it
  std::string block;                // the data block the atoms come from, without "data_"
  std::array<double, 3> lengths{};  // _cell_length_a, _b, _c in Å
  std::array<double, 3> angles{};   // _cell_angle_alpha, _beta, _gamma in degrees
  std::vector<ModelAtom> atoms;
};

// A model file that cannot be used; what() names the file and the reason.
class ModelError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The largest model file read: far beyond any small-molecule CIF, and a bound on the memory that
// a file of any content can take.
constexpr std::uintmax_t kLargestModelFile = std::uintmax_t{64} << 20;

// Reads the model of the CIF file `path`: the cell and atom sites of the first data block that
// has atom sites with fractional positions. Throws ModelError.
Model read_model(const std::filesystem::path& path);

// The model of the CIF text `text`, named `name` in messages. Throws ModelError.
Model parse_model(std::string_view text, const std::string& name);

// A cell agrees with another when each length differs by at most this fraction of it and each
// angle by at most this many degrees: a model of another setting or another structure differs
// by far more, while a cell refined apart from the map's differs by less.
constexpr double kCellLengthTolerance = 0.005;
constexpr double kCellAngleTolerance = 0.5;

// The names of the cell constants ("a", ..., "gamma") in which `model` differs from `cell`
// beyond the tolerance; empty when the cells agree.
std::vector<std::string> cell_differences(const Model& model, const UnitCell& cell);

// A symmetry image of an atom: an operation of the group followed by a whole-cell translation.
struct AtomImage {
  Operation operation;
  std::array<int, 3> cell_translation{};

  std::array<double, 3> apply(const std::array<double, 3>& x) const;
  // The image as one operation on x, y, z, the cell translation added to the operation's own:
  // "-x+1/2,y,-z+1". Applied to the atom's position as the model gives it, it gives the image.
  std::string text() const;
};

struct NearestAtom {
  std::size_t atom = 0;   // index into Model::atoms
  double distance = 0.0;  // Å
  AtomImage image;        // takes the atom's position to its image nearest the position asked
};

// Every image of every atom of a model under a group, for the searches around positions of a
// map. Distances are taken in `cell`, the map's.
class ModelImages {
 public:
  ModelImages(const Model& model, const UnitCell& cell, const SpaceGroup& group);

  // The atom nearest `position` through every image and cell translation; on equal distances
  // the first atom, and the first operation of the group (the identity before all others).
  // Nothing for a model without atoms.
  std::optional<NearestAtom> nearest(const std::array<double, 3>& position) const;

  // Whether an image of atom `atom` lies within `radius` Å of `position`.
  bool atom_within(std::size_t atom, const std::array<double, 3>& position, double radius) const;

 private:
  struct Image {
    std::size_t atom;
    std::size_t operation;
    std::array<double, 3> position;  // the operation applied to the atom's position
  };

  // The distance in Å from `position` to `image`'s nearest translate, or nothing when that is
  // surely beyond `limit` (a bound from the spacings of the lattice planes, taken first).
  std::optional<double> distance_within(const std::array<double, 3>& position, const Image& image,
                                        double limit) const;

  UnitCell cell_;
  std::vector<Operation> operations_;
  std::array<double, 3> plane_spacings_{};
  std::vector<Image> images_;
};

// How near a peak is to be to an atom to support it, in Å.
constexpr double kSupportRadius = 0.5;

// The atoms of `model` (indices into Model::atoms, in order) with no image within `radius` Å of
// any of `peaks`.
std::vector<std::size_t> atoms_without_peak(const ModelImages& images, std::size_t atom_count,
                                            const std::vector<Peak>& peaks, double radius);

}  // namespace analysis

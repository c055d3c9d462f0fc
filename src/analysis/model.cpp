#include "analysis/model.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <gemmi/cif.hpp>
#include <gemmi/numb.hpp>
#include <limits>
#include <numeric>

#include "os/os.hpp"
#include "symmetry/operator_set.hpp"

namespace analysis {

namespace {

namespace cif = gemmi::cif;

using Position = std::array<double, 3>;

// Atoms further out than this are no model of a cell; the bound keeps the cell translations of
// their images within the range of an int.
constexpr double kFarthestCell = 1000.0;
constexpr std::size_t kLongestQuote = 40;

constexpr std::array<const char*, 3> kLengthTags = {"_cell_length_a", "_cell_length_b",
                                                    "_cell_length_c"};
constexpr std::array<const char*, 3> kAngleTags = {"_cell_angle_alpha", "_cell_angle_beta",
                                                   "_cell_angle_gamma"};
constexpr std::array<const char*, 6> kCellNames = {"a", "b", "c", "alpha", "beta", "gamma"};

// A value for a message: cut to a readable length, unprintable bytes shown as "?".
std::string shown_text(std::string_view text) {
  std::string shown(text.substr(0, kLongestQuote));
  for (char& c : shown) {
    if (!std::isprint(static_cast<unsigned char>(c))) c = '?';
  }
  return "\"" + shown + (text.size() > kLongestQuote ? "...\"" : "\"");
}

// gemmi words a syntax error "NAME:LINE:COLUMN: reason"; the project words it "NAME, line LINE:
// reason".
std::string syntax_error(const std::string& name, const std::string& what) {
  const std::string prefix = name + ":";
  if (what.compare(0, prefix.size(), prefix) != 0) return name + ": not a CIF file: " + what;
  std::size_t at = prefix.size();
  std::size_t digits = at;
  while (digits < what.size() && std::isdigit(static_cast<unsigned char>(what[digits]))) ++digits;
  if (digits == at) return name + ": not a CIF file: " + what.substr(at);
  const std::string line = what.substr(at, digits - at);
  at = digits;
  // The column, if given.
  if (at < what.size() && what[at] == ':') {
    ++at;
    while (at < what.size() && std::isdigit(static_cast<unsigned char>(what[at]))) ++at;
  }
  while (at < what.size() && (what[at] == ':' || what[at] == ' ')) ++at;
  return name + ", line " + line + ": not a CIF file: " + what.substr(at);
}

cif::Document parsed(std::string_view text, const std::string& name) {
  try {
    return cif::read_memory(text.data(), text.size(), name.c_str());
  } catch (const std::exception& error) {
    throw ModelError(syntax_error(name, error.what()));
  }
}

class BlockReader {
 public:
  BlockReader(cif::Block& block, const std::string& file) : block_(block), file_(file) {}

  [[noreturn]] void fail(const std::string& problem) const {
    throw ModelError(file_ + ", data_" + block_.name + ": " + problem);
  }

  double number(const std::string& tag, const std::string& value) const {
    const double x = cif::as_number(value);
    if (!std::isfinite(x)) fail(tag + " is " + shown_text(value) + ", not a number");
    return x;
  }

  double number_of(const char* tag) const {
    const std::string* value = block_.find_value(tag);
    if (value == nullptr) fail(std::string("no ") + tag);
    return number(tag, *value);
  }

  void read_cell(Model& model) const {
    for (std::size_t i = 0; i < 3; ++i) model.lengths[i] = number_of(kLengthTags[i]);
    for (std::size_t i = 0; i < 3; ++i) model.angles[i] = number_of(kAngleTags[i]);
    check_cell(model);
  }

  void read_atoms(cif::Table& sites, Model& model) const {
    for (std::size_t row = 0; row < sites.length(); ++row) {
      cif::Table::Row values = sites[static_cast<int>(row)];
      ModelAtom atom;
      atom.label = cif::as_string(values[0]);
      for (std::size_t i = 0; i < 3; ++i) {
        const std::string tag = std::string("_atom_site_fract_") + "xyz"[i];
        atom.position[i] = number(tag + " of atom " + shown_text(atom.label), values[i + 1]);
        if (std::fabs(atom.position[i]) > kFarthestCell) {
          fail(tag + " of atom " + shown_text(atom.label) + " lies more than " +
               std::to_string(int(kFarthestCell)) + " cells from the origin");
        }
      }
      model.atoms.push_back(std::move(atom));
    }
  }

 private:
  // A cell exists when its lengths are positive and its angles can meet at a corner.
  void check_cell(const Model& model) const {
    for (std::size_t i = 0; i < 3; ++i) {
      if (model.lengths[i] <= 0.0) fail(std::string(kLengthTags[i]) + " must be above 0");
      if (model.angles[i] <= 0.0 || model.angles[i] >= 180.0) {
        fail(std::string(kAngleTags[i]) + " must lie between 0 and 180 degrees");
      }
    }
    const auto& g = model.angles;
    const double sum = g[0] + g[1] + g[2];
    if (sum >= 360.0 || g[0] >= g[1] + g[2] || g[1] >= g[0] + g[2] || g[2] >= g[0] + g[1]) {
      fail(
          "the cell's angles cannot meet at a corner: each must be below the sum of the other "
          "two, and the three below 360 degrees");
    }
  }

  cif::Block& block_;
  const std::string& file_;
};

cif::Table atom_sites(cif::Block& block) {
  return block.find("_atom_site_", {"label", "fract_x", "fract_y", "fract_z"});
}

// The offset in twelfths as a fraction for an operation's text: "+1/2", "-1", "" for none.
std::string fraction_text(int twelfths) {
  if (twelfths == 0) return "";
  const int divisor = std::gcd(std::abs(twelfths), symmetry::kTwelfths);
  const int numerator = twelfths / divisor, denominator = symmetry::kTwelfths / divisor;
  std::string text = numerator > 0 ? "+" : "-";
  text += std::to_string(std::abs(numerator));
  if (denominator != 1) text += "/" + std::to_string(denominator);
  return text;
}

std::string row_text(const std::array<int, 3>& rotation, int twelfths) {
  std::string text;
  for (std::size_t j = 0; j < 3; ++j) {
    const int r = rotation[j];
    if (r == 0) continue;
    if (r < 0) {
      text += "-";
    } else if (!text.empty()) {
      text += "+";
    }
    if (std::abs(r) != 1) text += std::to_string(std::abs(r));
    text += "xyz"[j];
  }
  return text + fraction_text(twelfths);
}

}  // namespace

Model read_model(const std::filesystem::path& path) {
  const std::string name = os::name_of(path);
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    throw ModelError(name + ": cannot read the file: is a directory");
  }
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw ModelError(name + ": cannot read the file: " + std::strerror(errno));
  std::string text;
  char buffer[1 << 16];
  while (stream.read(buffer, sizeof buffer) || stream.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(stream.gcount()));
    if (text.size() > kLargestModelFile) {
      throw ModelError(name + ": cannot be a model: larger than " +
                       std::to_string(kLargestModelFile >> 20) + " MiB");
    }
  }
  if (stream.bad()) throw ModelError(name + ": cannot read the file: " + std::strerror(errno));
  return parse_model(text, name);
}

Model parse_model(std::string_view text, const std::string& name) {
  cif::Document document = parsed(text, name);
  for (cif::Block& block : document.blocks) {
    cif::Table sites = atom_sites(block);
    if (!sites.ok()) continue;
    Model model;
    model.file = name;
    model.block = block.name;
    const BlockReader reader(block, name);
    reader.read_cell(model);
    reader.read_atoms(sites, model);
    return model;
  }
  throw ModelError(name +
                   ": no atom sites (_atom_site_label with _atom_site_fract_x, _y and _z) in any "
                   "data block");
}

std::vector<std::string> cell_differences(const Model& model, const UnitCell& cell) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::fabs(model.lengths[i] - cell.lengths()[i]) >
        kCellLengthTolerance * cell.lengths()[i]) {
      names.push_back(kCellNames[i]);
    }
  }
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::fabs(model.angles[i] - cell.angles()[i]) > kCellAngleTolerance) {
      names.push_back(kCellNames[i + 3]);
    }
  }
  return names;
}

Position AtomImage::apply(const Position& x) const {
  Position y = operation.apply(x);
  for (std::size_t i = 0; i < 3; ++i) y[i] += cell_translation[i];
  return y;
}

std::string AtomImage::text() const {
  std::string text;
  for (std::size_t i = 0; i < 3; ++i) {
    if (i > 0) text += ",";
    text += row_text(operation.rotation[i],
                     operation.translation[i] + symmetry::kTwelfths * cell_translation[i]);
  }
  return text;
}

ModelImages::ModelImages(const Model& model, const UnitCell& cell, const SpaceGroup& group)
    : cell_(cell), operations_(group.operations) {
  for (std::size_t axis = 0; axis < 3; ++axis) plane_spacings_[axis] = cell.plane_spacing(axis);
  for (std::size_t atom = 0; atom < model.atoms.size(); ++atom) {
    for (std::size_t op = 0; op < group.operations.size(); ++op) {
      images_.push_back({atom, op, group.operations[op].apply(model.atoms[atom].position)});
    }
  }
}

std::optional<double> ModelImages::distance_within(const Position& position, const Image& image,
                                                   double limit) const {
  // Any translate lies at least its fractional offset along an axis, reduced to within half a
  // cell, times the spacing of the planes normal to that axis away.
  for (std::size_t axis = 0; axis < 3; ++axis) {
    const double offset = image.position[axis] - position[axis];
    if (std::fabs(offset - std::round(offset)) * plane_spacings_[axis] > limit) return std::nullopt;
  }
  return cell_.distance(position, image.position);
}

std::optional<NearestAtom> ModelImages::nearest(const Position& position) const {
  std::optional<NearestAtom> found;
  const Image* best = nullptr;
  double shortest = std::numeric_limits<double>::infinity();
  for (const Image& image : images_) {
    const std::optional<double> d = distance_within(position, image, shortest);
    if (d && *d < shortest) {
      shortest = *d;
      best = &image;
    }
  }
  if (best == nullptr) return std::nullopt;
  NearestAtom nearest;
  nearest.atom = best->atom;
  nearest.distance = shortest;
  nearest.image.operation = operations_[best->operation];
  nearest.image.cell_translation = cell_.nearest_translation(position, best->position);
  return nearest;
}

bool ModelImages::atom_within(std::size_t atom, const Position& position, double radius) const {
  const std::size_t order = operations_.size();
  for (std::size_t k = atom * order; k < (atom + 1) * order && k < images_.size(); ++k) {
    const std::optional<double> d = distance_within(position, images_[k], radius);
    if (d && *d <= radius) return true;
  }
  return false;
}

std::vector<std::size_t> atoms_without_peak(const ModelImages& images, std::size_t atom_count,
                                            const std::vector<Peak>& peaks, double radius) {
  std::vector<std::size_t> unsupported;
  for (std::size_t atom = 0; atom < atom_count; ++atom) {
    const bool supported = std::any_of(peaks.begin(), peaks.end(), [&](const Peak& peak) {
      return images.atom_within(atom, peak.position, radius);
    });
    if (!supported) unsupported.push_back(atom);
  }
  return unsupported;
}

}  // namespace analysis

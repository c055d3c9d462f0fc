#include "support/crystal.hpp"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace support {

namespace {

double reduce(double t) {
  double r = t - std::floor(t);
  return r > 1.0 - 1e-9 ? 0.0 : r;
}

bool same_translation(double a, double b) {
  double d = std::fabs(a - b);
  return d < 1e-6 || d > 1.0 - 1e-6;
}

bool same_operation(const Operation& a, const Operation& b) {
  if (a.rotation != b.rotation) return false;
  for (int i = 0; i < 3; ++i) {
    if (!same_translation(a.translation[i], b.translation[i])) return false;
  }
  return true;
}

Operation compose(const Operation& a, const Operation& b) {
  Operation c;
  for (int i = 0; i < 3; ++i) {
    double t = a.translation[i];
    for (int j = 0; j < 3; ++j) {
      int sum = 0;
      for (int k = 0; k < 3; ++k) sum += a.rotation[i][k] * b.rotation[k][j];
      c.rotation[i][j] = sum;
      t += a.rotation[i][j] * b.translation[j];
    }
    c.translation[i] = reduce(t);
  }
  return c;
}

}  // namespace

Operation parse_operation(const std::string& triplet) {
  Operation op;
  int row = 0;
  std::size_t i = 0;
  while (i <= triplet.size() && row < 3) {
    int sign = 1;
    double constant = 0.0;
    while (i < triplet.size() && triplet[i] != ',') {
      char c = triplet[i];
      if (c == '+') {
        sign = 1;
        ++i;
      } else if (c == '-') {
        sign = -1;
        ++i;
      } else if (c == 'x' || c == 'y' || c == 'z') {
        op.rotation[row][c - 'x'] = sign;
        sign = 1;
        ++i;
      } else if (std::isdigit(static_cast<unsigned char>(c))) {
        std::size_t used = 0;
        double numerator = std::stod(triplet.substr(i), &used);
        i += used;
        double denominator = 1.0;
        if (i < triplet.size() && triplet[i] == '/') {
          ++i;
          denominator = std::stod(triplet.substr(i), &used);
          i += used;
        }
        constant += sign * numerator / denominator;
        sign = 1;
      } else {
        ++i;
      }
    }
    op.translation[row] = reduce(constant);
    ++row;
    ++i;
  }
  if (row != 3) throw std::invalid_argument("bad triplet " + triplet);
  return op;
}

std::vector<Operation> close_group(const std::vector<std::string>& generators) {
  std::vector<Operation> group = {parse_operation("x,y,z")};
  auto add = [&group](const Operation& op) {
    for (const Operation& known : group) {
      if (same_operation(known, op)) return false;
    }
    group.push_back(op);
    return true;
  };
  for (const std::string& g : generators) add(parse_operation(g));
  for (bool grew = true; grew;) {
    grew = false;
    for (std::size_t a = 0; a < group.size(); ++a) {
      for (std::size_t b = 0; b < group.size(); ++b) grew |= add(compose(group[a], group[b]));
    }
    if (group.size() > 1000) throw std::runtime_error("group does not close");
  }
  return group;
}

std::vector<Atom> Crystal::expanded_atoms() const {
  std::vector<Atom> images;
  for (const Atom& atom : atoms) {
    for (const Operation& op : group) {
      Atom image = atom;
      for (int i = 0; i < 3; ++i) {
        double v = op.translation[i];
        for (int j = 0; j < 3; ++j) v += op.rotation[i][j] * atom.position[j];
        image.position[i] = reduce(v);
      }
      bool known = false;
      for (const Atom& other : images) {
        known = known || (same_translation(other.position[0], image.position[0]) &&
                          same_translation(other.position[1], image.position[1]) &&
                          same_translation(other.position[2], image.position[2]));
      }
      if (!known) images.push_back(image);
    }
  }
  return images;
}

DensityField::DensityField(const Crystal& crystal)
    : atoms_(crystal.expanded_atoms()), width_(crystal.width) {
  std::array<double, 3> c{};
  for (int i = 0; i < 3; ++i) c[i] = std::cos(crystal.angles[i] * std::numbers::pi / 180.0);
  const auto& l = crystal.lengths;
  metric_ = {{{l[0] * l[0], l[0] * l[1] * c[2], l[0] * l[2] * c[1]},
              {l[0] * l[1] * c[2], l[1] * l[1], l[1] * l[2] * c[0]},
              {l[0] * l[2] * c[1], l[1] * l[2] * c[0], l[2] * l[2]}}};
}

double DensityField::at(const std::array<double, 3>& point) const {
  double sum = 0.0;
  for (const Atom& atom : atoms_) {
    for (int n0 = -1; n0 <= 1; ++n0) {
      for (int n1 = -1; n1 <= 1; ++n1) {
        for (int n2 = -1; n2 <= 1; ++n2) {
          std::array<double, 3> d = {point[0] - atom.position[0] - n0,
                                     point[1] - atom.position[1] - n1,
                                     point[2] - atom.position[2] - n2};
          double squared = 0.0;
          for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) squared += d[i] * metric_[i][j] * d[j];
          }
          sum += atom.height * std::exp(-squared / (2.0 * width_ * width_));
        }
      }
    }
  }
  return sum;
}

}  // namespace support

#include "symmetry/group_validation.hpp"

#include <algorithm>
#include <vector>

#include "symmetry/classification.hpp"

namespace symmetry {
namespace {

// One element of the whole group; translations in twelfths, 0 to 11.
using Element = SeitzOperator;

std::vector<Element> whole_group(std::span<const WorkingMatrix> operators, int lattice_type,
                                 bool centric) {
  const CentringTable centring = centring_table(lattice_type);
  std::vector<Element> elements;
  for (int c = 0; c < centring.count; ++c) {
    for (const WorkingMatrix& m : operators) {
      for (int sign : {1, -1}) {
        if (sign < 0 && !centric) continue;
        Element e;
        for (int i = 0; i < 3; ++i) {
          for (int j = 0; j < 3; ++j) e.rotation[i][j] = sign * m.rotation[i][j];
          e.translation[i] = modulo_cell(sign * m.translation[i] + centring.vectors[c][i]);
        }
        elements.push_back(e);
      }
    }
  }
  return elements;
}

}  // namespace

bool is_closed_group(std::span<const WorkingMatrix> operators, int lattice_type, bool centric) {
  std::vector<Element> elements = whole_group(operators, lattice_type, centric);
  std::sort(elements.begin(), elements.end());
  if (std::adjacent_find(elements.begin(), elements.end()) != elements.end()) return false;
  for (const Element& a : elements) {
    for (const Element& b : elements) {
      if (!std::binary_search(elements.begin(), elements.end(), a * b)) return false;
    }
  }
  return true;
}

}  // namespace symmetry

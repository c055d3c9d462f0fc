// Helpers for the symmetry tests: operators written as coordinate triplets, and the records a
// unit receives, captured through a temporary file.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "symmetry/interpreter.hpp"
#include "symmetry/operator_set.hpp"
#include "textio/units.hpp"

namespace symmetry_test {

// An operator as the rotation rows and the translation in twelfths.
struct Op {
  std::array<std::array<int, 3>, 3> rotation{};
  std::array<int, 3> translation{};
  bool operator==(const Op&) const = default;
};

// One coordinate such as "-x+y", "z+1/2" or "-y+3/4".
inline void parse_coordinate(std::string_view text, std::array<int, 3>& row, int& twelfths) {
  std::size_t i = 0;
  while (i < text.size()) {
    int sign = 1;
    if (text[i] == '+' || text[i] == '-') sign = text[i++] == '-' ? -1 : 1;
    const char c = text.at(i);
    if (c == 'x' || c == 'y' || c == 'z') {
      row[c - 'x'] += sign;
      ++i;
      continue;
    }
    const int numerator = text.at(i) - '0';
    const int denominator = text.at(i + 2) - '0';
    twelfths = (sign * numerator * 12 / denominator + 12) % 12;
    i += 3;
  }
}

// "x,-y+1/2,z+1/2" as an operator.
inline Op op(std::string_view triplet) {
  Op result;
  for (int axis = 0; axis < 3; ++axis) {
    const std::size_t comma = triplet.find(',');
    parse_coordinate(triplet.substr(0, comma), result.rotation[axis], result.translation[axis]);
    triplet = comma == std::string_view::npos ? std::string_view() : triplet.substr(comma + 1);
  }
  return result;
}

inline Op stored(const symmetry::SymmetryOperator& o) {
  return {o.rotation, o.translation};
}

inline std::vector<Op> stored_operators(const symmetry::OperatorSet& set) {
  std::vector<Op> ops;
  for (int k = 0; k < set.operator_count; ++k) ops.push_back(stored(set.operators[k]));
  return ops;
}

// A group element: rotation and translation in twelfths reduced to 0..11.
using Element = std::array<int, 12>;

inline int cell(int twelfths) {
  return ((twelfths % 12) + 12) % 12;
}

inline Element make_element(const std::array<std::array<int, 3>, 3>& r,
                            const std::array<int, 3>& t) {
  Element e{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) e[i * 3 + j] = r[i][j];
    e[9 + i] = cell(t[i]);
  }
  return e;
}

inline Element compose(const Element& a, const Element& b) {  // a after b
  std::array<std::array<int, 3>, 3> r{};
  std::array<int, 3> t{};
  for (int i = 0; i < 3; ++i) {
    t[i] = a[9 + i];
    for (int j = 0; j < 3; ++j) {
      for (int k = 0; k < 3; ++k) r[i][j] += a[i * 3 + k] * b[k * 3 + j];
      t[i] += a[i * 3 + j] * b[9 + j];
    }
  }
  return make_element(r, t);
}

// The whole group spelled out from the stored half-set.
inline std::vector<Element> whole_group(const symmetry::OperatorSet& set) {
  std::vector<Element> elements;
  for (int c = 0; c < set.centring_count; ++c) {
    std::array<int, 3> centring{};
    for (int i = 0; i < 3; ++i) {
      centring[i] = static_cast<int>(std::lround(set.centring[c][i] * 12.0F));
    }
    for (int k = 0; k < set.operator_count; ++k) {
      const auto& op = set.operators[k];
      for (int sign : {1, -1}) {
        if (sign == -1 && set.centric == 0) continue;
        std::array<std::array<int, 3>, 3> r{};
        std::array<int, 3> t{};
        for (int i = 0; i < 3; ++i) {
          for (int j = 0; j < 3; ++j) r[i][j] = sign * op.rotation[i][j];
          t[i] = sign * op.translation[i] + centring[i];
        }
        elements.push_back(make_element(r, t));
      }
    }
  }
  return elements;
}

// What keeps the operator set from being a group, or "" when it is one: every element distinct,
// every product of two of them again an element.
inline std::string group_fault(const symmetry::OperatorSet& set) {
  const std::vector<Element> elements = whole_group(set);
  const std::set<Element> group(elements.begin(), elements.end());
  if (group.size() != elements.size()) return "the same element twice";
  for (const Element& a : group) {
    for (const Element& b : group) {
      if (!group.contains(compose(a, b))) return "not closed under composition";
    }
  }
  return "";
}

inline symmetry::OperatorSet interpret(std::string_view symbol, int description_unit = 0,
                                       int error_unit = 0) {
  symmetry::OperatorSet set;
  set.symbol = std::string(symbol);
  symmetry::interpret_symbol(set, description_unit, error_unit);
  return set;
}

// A symbol as a readable test name of letters, digits and underscores: each run of blanks is
// one "_", and "/", "-" and "." are spelled out ("P 21/c" is P_21_over_c, "F d -3 m" F_d_bar3_m).
inline std::string test_name(std::string_view symbol) {
  std::string name;
  bool separate = false;
  for (const char c : symbol) {
    if (c == ' ' || c == '\t') {
      separate = !name.empty();
      continue;
    }
    if (separate) name += '_';
    separate = false;
    if (std::isalnum(static_cast<unsigned char>(c))) {
      name += c;
    } else if (c == '/') {
      name += "_over_";
    } else if (c == '-') {
      name += "bar";
    } else if (c == '.') {
      name += "dot";
    } else {
      name += '_';
    }
  }
  return name;
}

// Names each test of a parameterised suite after the `symbol` of its parameter.
struct NamedBySymbol {
  template <class Param>
  std::string operator()(const testing::TestParamInfo<Param>& info) const {
    return test_name(info.param.symbol);
  }
};

// The text padded with blanks to `width` characters.
inline std::string pad(std::string_view text, std::size_t width) {
  std::string padded(text);
  padded.resize(std::max(width, padded.size()), ' ');
  return padded;
}

// A unit connected to a fresh temporary file; lines() closes it and reads back its records.
class CapturedUnit {
 public:
  explicit CapturedUnit(int unit = 21) : unit_(unit) {
    std::string name = (std::filesystem::temp_directory_path() / "symmetry_XXXXXX").string();
    const int descriptor = mkstemp(name.data());
    if (descriptor < 0) throw std::runtime_error("no temporary file");
    close(descriptor);
    path_ = name;
    textio::open_unit(unit_, path_);
  }
  ~CapturedUnit() {
    textio::close_unit(unit_);
    std::filesystem::remove(path_);
  }
  CapturedUnit(const CapturedUnit&) = delete;
  CapturedUnit& operator=(const CapturedUnit&) = delete;

  int unit() const { return unit_; }

  std::vector<std::string> lines() {
    textio::close_unit(unit_);
    std::ifstream in(path_, std::ios::binary);
    std::vector<std::string> records;
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      records.push_back(line);
    }
    return records;
  }

 private:
  int unit_;
  std::string path_;
};

}  // namespace symmetry_test

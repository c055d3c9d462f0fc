#include "symmetry/closure.hpp"

#include <algorithm>
#include <utility>

#include "symmetry/classification.hpp"
#include "textio/records.hpp"
#include "textio/units.hpp"

namespace symmetry {
namespace {

struct FlagEntry {
  int rotation_code;
  int flag;
};

constexpr int code(const Row& x, const Row& y, const Row& z) {
  return rotation_code({x, y, z});
}

// Every rotation a symbol can produce, with its operation flag.
constexpr std::array<FlagEntry, 64> kOperationFlags = {{
    {code(kX, kY, kZ), 0},          {code(kZ, kX, kY), 0},         {code(kY, kZ, kX), 0},
    {code(-kZ, kX, -kY), 0},        {code(kY, -kZ, -kX), 0},       {code(kZ, -kX, -kY), 0},
    {code(-kY, -kZ, kX), 0},        {code(-kZ, -kX, kY), 0},       {code(-kY, kZ, -kX), 0},
    {code(-kY, kX - kY, kZ), 0},    {code(-kX + kY, -kX, kZ), 0},  {code(kX, kY, -kZ), 1},
    {code(kX, -kY, kZ), 2},         {code(kX, -kY, -kZ), 3},       {code(kX - kY, -kY, -kZ), 3},
    {code(-kX, -kX + kY, -kZ), 3},  {code(-kX, kY, kZ), 4},        {code(-kX + kY, kY, kZ), 4},
    {code(kX, kX - kY, kZ), 4},     {code(-kX, kY, -kZ), 5},       {code(-kX, -kY, kZ), 6},
    {code(-kX, -kY, -kZ), 7},       {code(-kZ, -kX, -kY), 7},      {code(-kY, -kZ, -kX), 7},
    {code(kZ, -kX, kY), 7},         {code(-kY, kZ, kX), 7},        {code(-kZ, kX, kY), 7},
    {code(kY, kZ, -kX), 7},         {code(kZ, kX, -kY), 7},        {code(kY, -kZ, kX), 7},
    {code(kY, -kX + kY, -kZ), 7},   {code(kX - kY, kX, -kZ), 7},   {code(kY, kX, kZ), 8},
    {code(-kZ, kY, -kX), 8},        {code(kZ, kY, kX), 8},         {code(kX, -kZ, -kY), 8},
    {code(kX, kZ, kY), 8},          {code(-kX, -kX + kY, kZ), 8},  {code(kX - kY, -kY, kZ), 8},
    {code(-kY, -kX, -kZ), 12},      {code(kZ, -kY, kX), 12},       {code(-kZ, -kY, -kX), 12},
    {code(-kX, kZ, kY), 12},        {code(-kX, -kZ, -kY), 12},     {code(kX, kX - kY, -kZ), 12},
    {code(-kX + kY, kY, -kZ), 12},  {code(-kY, kX, kZ), 16},       {code(kY, -kX, kZ), 16},
    {code(-kZ, kY, kX), 16},        {code(kZ, kY, -kX), 16},       {code(kX, -kZ, kY), 16},
    {code(kX, kZ, -kY), 16},        {code(kX - kY, kX, kZ), 16},   {code(kY, -kX + kY, kZ), 16},
    {code(kY, -kX, -kZ), 23},       {code(-kY, kX, -kZ), 23},      {code(kZ, -kY, -kX), 23},
    {code(-kZ, -kY, kX), 23},       {code(-kX, kZ, -kY), 23},      {code(-kX, -kZ, kY), 23},
    {code(-kX + kY, -kX, -kZ), 23}, {code(-kY, kX - kY, -kZ), 23}, {code(-kY, -kX, kZ), 98},
    {code(kY, kX, -kZ), 99},
}};

constexpr bool all_codes_differ() {
  for (std::size_t i = 0; i < kOperationFlags.size(); ++i) {
    for (std::size_t j = i + 1; j < kOperationFlags.size(); ++j) {
      if (kOperationFlags[i].rotation_code == kOperationFlags[j].rotation_code) return false;
    }
  }
  return true;
}
static_assert(all_codes_differ(), "each rotation appears once in the operation flag table");

void update_codes(WorkingMatrix& m) {
  m.rotation_code = rotation_code(m.rotation);
  m.translation_code = translation_code(m.translation);
}

// M_j * M_i: M_i applied first.
WorkingMatrix multiply(const WorkingMatrix& mj, const WorkingMatrix& mi) {
  WorkingMatrix product{mj * mi};
  update_codes(product);
  return product;
}

// Elements of a crystallographic rotation in these axes are -1, 0 or 1. Anything larger comes
// from generators that belong to no finite group (a six-fold beside the cubic three-fold).
bool is_crystallographic(const Rotation& r) {
  return std::all_of(r.begin(), r.end(), [](const Row& row) {
    return std::all_of(row.begin(), row.end(), [](int e) { return e >= -1 && e <= 1; });
  });
}

enum class Match { none, equal, negated };

struct KnownMatrix {
  Match match = Match::none;
  int index = 0;  // 0-based
};

KnownMatrix find_known(const GroupState& group, const WorkingMatrix& m) {
  for (int k = 0; k < group.count; ++k) {
    const int known = group.matrices[k].rotation_code;
    if (known == m.rotation_code) return {Match::equal, k};
    if (known == -m.rotation_code) return {Match::negated, k};
  }
  return {};
}

void write_matrix(int unit, int number, const WorkingMatrix& m) {
  const Rotation& r = m.rotation;
  const Translation& t = m.translation;
  const float twelfth = 1.0F / kTwelfths;
  textio::write_record(unit, "('  Matrix',I3,' is',3(I4,2I3),3F5.2,F8.1)", number, r[0], r[1], r[2],
                       t[0] * twelfth, t[1] * twelfth, t[2] * twelfth,
                       static_cast<float>(m.translation_code));
}

void explain_conflict(int unit, int field, int a_number, const WorkingMatrix& a, int b_number,
                      const WorkingMatrix& b) {
  textio::write_record(unit,
                       "(' Operator ',I2,' generates Matrix',I3,"
                       "' which has a translation conflict with',' matrix ',I2)",
                       field, a_number, b_number);
  write_matrix(unit, a_number, a);
  write_matrix(unit, b_number, b);
}

// True when the translations of two matrices with the same (or the negated) rotation differ by
// more than a centring vector, in the directions the rotations leave free.
bool translations_conflict(const WorkingMatrix& a, const WorkingMatrix& b, bool negated,
                           const ClosureContext& context) {
  auto b_diagonal = [&](int i) { return negated ? 1 : b.rotation[i][i]; };
  const CentringTable table = centring_table(context.lattice_type);
  const int centrings = context.lattice_type == kLatticeR ? 1 : table.count;
  const bool along_c_only = context.laue_class >= kLaue4m && context.field == 4;
  for (int c = 0; c < centrings; ++c) {
    Translation w;
    for (int i = 0; i < 3; ++i) {
      w[i] = modulo_cell(a.translation[i] + b.translation[i] + table.vectors[c][i]);
    }
    if (a.rotation[2][2] + b_diagonal(2) <= 0) w[2] = 0;
    if (along_c_only) {
      w[0] = (w[0] + w[1]) % kTwelfths;
      w[1] = 0;
    } else {
      if (a.rotation[0][0] + b_diagonal(0) <= 0) w[0] = 0;
      if (a.rotation[1][1] + b_diagonal(1) <= 0) w[1] = 0;
    }
    if (translation_code(w) == 0) return false;
  }
  return true;
}

// Runs the translation check of matrix `a` (number a_number) against stored matrix b_index.
void check_translations(GroupState& group, const WorkingMatrix& a, int a_number, int b_index,
                        bool negated, const ClosureContext& context) {
  const WorkingMatrix& b = group.matrices[b_index];
  if (!translations_conflict(a, b, negated, context)) return;
  group.deferred_error = kTranslationConflict;
  if (reports_to(context.error_unit)) {
    explain_conflict(context.error_unit, context.field, a_number, a, b_index + 1, b);
  }
}

// Multiplies the matrices stored from `first` on with the ones before them, batch after batch,
// until a batch adds nothing.
int close_group(GroupState& group, int first, const ClosureContext& context) {
  int last = first;
  while (true) {
    const int batch_end = group.count;
    for (int i = first; i <= last; ++i) {
      for (int j = 1; j <= i; ++j) {
        const WorkingMatrix product = multiply(group.matrices[j], group.matrices[i]);
        if (!is_crystallographic(product.rotation)) return kProductOverflow;
        const KnownMatrix known = find_known(group, product);
        if (known.match == Match::negated) {
          group.centric = 1;
        } else if (known.match == Match::equal) {
          if (product.translation_code != group.matrices[known.index].translation_code) {
            check_translations(group, product, group.count + 1, known.index, false, context);
          }
        } else {
          if (group.count == kMaxOperators) return kProductOverflow;
          group.matrices[group.count++] = product;
        }
      }
    }
    if (group.count == batch_end) return 0;
    first = batch_end;
    last = group.count - 1;
  }
}

}  // namespace

void start_group(GroupState& group, bool rhombohedral_cubic) {
  group.count = 0;
  auto store = [&group](const Rotation& r) {
    WorkingMatrix& m = group.matrices[group.count++];
    m = WorkingMatrix{{r, {0, 0, 0}}, 0, 0};
    update_codes(m);
  };
  store({kX, kY, kZ});
  if (rhombohedral_cubic) {
    store({kZ, kX, kY});
    store({kY, kZ, kX});
  }
}

int add_generator(GroupState& group, const WorkingMatrix& generator,
                  const ClosureContext& context) {
  WorkingMatrix m = generator;
  for (int& t : m.translation) t = modulo_cell(t);
  update_codes(m);
  const KnownMatrix known = find_known(group, m);
  if (known.match != Match::none) {
    const bool negated = known.match == Match::negated;
    if (m.translation_code != group.matrices[known.index].translation_code) {
      check_translations(group, m, group.count + 1, known.index, negated, context);
    }
    if (negated) group.centric = 1;
    return 0;
  }
  if (group.count == kMaxOperators) return kGeneratorOverflow;
  group.matrices[group.count++] = m;
  return close_group(group, group.count - 1, context);
}

int operation_flag(int rotation_code) {
  for (const FlagEntry& entry : kOperationFlags) {
    if (entry.rotation_code == rotation_code) return entry.flag;
  }
  return -1;
}

void complete_operator_set(const GroupState& group, OperatorArray& operators, int& operator_count) {
  operator_count = group.count;
  for (int k = 0; k < group.count; ++k) {
    const WorkingMatrix& m = group.matrices[k];
    SymmetryOperator& op = operators[k];
    op.rotation = m.rotation;
    op.translation = m.translation;
    op.rotation_code = m.rotation_code;
    op.translation_code = m.translation_code;
    op.operation_flag = operation_flag(m.rotation_code);
    if (op.operation_flag < 0) {
      textio::write_record(textio::kTerminal, "(' ***** ERROR in defining operation flags',I3)",
                           k + 1);
    }
  }
}

}  // namespace symmetry

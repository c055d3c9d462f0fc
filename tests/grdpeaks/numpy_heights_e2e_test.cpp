// The heights that grdpeaks gives in standard deviations, checked against numpy reading the same
// grid file on its own: the mean and the standard deviation about it of every value, each
// peak's and hole's height in sigma, and each height against the grid's values around it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../analysis/known_maps.hpp"
#include "grid_text.hpp"
#include "support/files.hpp"
#include "support/run_program.hpp"

namespace {

using known_maps::Atom;

// Reads the grid file (z fastest) and grdpeaks' JSON; prints each disagreement and ends with
// status 1 when there is one.
constexpr const char* kCheck = R"(import json, sys
import numpy as np
with open(sys.argv[1]) as grid:
    lines = grid.read().splitlines()
n = [int(lines[2][4 * i:4 * i + 4]) for i in range(3)]
values = np.array([float(v) for v in lines[3:]]).reshape(n)
mean, sigma = values.mean(), values.std()
report = json.load(open(sys.argv[2]))
bad = []
def check(what, got, expected, tolerance):
    if abs(got - expected) > tolerance:
        bad.append('%s: %r, numpy %r' % (what, got, expected))
summary = report['summary']
check('mean', summary['mean'], mean, 1e-6 * sigma)
check('sigma', summary['sigma'], sigma, 1e-6 * sigma)
check('maximum_sigma', summary['maximum_sigma'], (values.max() - mean) / sigma, 1e-5)
check('minimum_sigma', summary['minimum_sigma'], (values.min() - mean) / sigma, 1e-5)
for kind, sign in (('peaks', 1), ('holes', -1)):
    for p in report[kind]:
        where = '%s at %.3f %.3f %.3f' % (kind, p['x'], p['y'], p['z'])
        check(where + ' height_sigma', p['height_sigma'], (p['height'] - mean) / sigma, 1e-5)
        # The refined height is at least the highest grid value around the position, and
        # above it by a small part of the peak at most: an atom halfway between grid points
        # of a fifth of an angstrom lies about an eighth above them.
        index = [int(np.floor(p[a] * n[i])) for i, a in enumerate('xyz')]
        around = max(sign * values[tuple((index[i] + d[i]) % n[i] for i in range(3))]
                     for d in np.ndindex(2, 2, 2))
        if not 0 <= sign * p['height'] - around <= 0.15 * abs(p['height'] - mean):
            bad.append('%s height %r, grid values around it up to %r' % (where, p['height'],
                                                                        sign * around))
print('\n'.join(bad) if bad else 'agree')
sys.exit(1 if bad else 0)
)";

// A monoclinic structure with a negative atom, on a grid that carries P 21/c and on one that
// does not (its images were interpolated, so their heights differ).
TEST(NumpyHeightsTest, HeightsInSigmaAgreeWithNumpy) {
  const known_maps::Cell cell = {{6.1, 7.3, 8.2}, {90, 104.5, 90}};
  const std::vector<Atom> atoms = {{{0.0, 0.0, 0.0}, 12.0, 0.35},
                                   {{0.21, 0.33, 0.12}, 8.0, 0.35},
                                   {{0.62, 0.15, 0.41}, -5.0, 0.35}};
  for (const std::array<int, 3> n : {std::array<int, 3>{30, 36, 40}, {31, 37, 41}}) {
    const std::vector<float> values =
        known_maps::gaussian_map(cell, *analysis::group_of_symbol("P 21/c"), atoms, n);
    support::TempDirectory work;
    support::write_file_bytes(work.path() / "M.grd", grid_text::grid_file(cell, "DELF", values, n));
    support::write_file_bytes(work.path() / "check.py", kCheck);
    const std::string in = "cd '" + work.path().string() + "' && ";
    const auto [ran, status] = support::run_shell_command(
        in + GRDPEAKS_PROGRAM + " --group 'P 21/c' --count 0 --json out.json M.grd");
    ASSERT_EQ(status, 0) << ran;
    // Debian's numpy is the system Python's, whatever python3 comes first on PATH.
    const auto [output, checked] =
        support::run_shell_command(in + "PATH=/usr/bin:/bin:$PATH python3 check.py M.grd out.json");
    EXPECT_EQ(checked, 0) << output;
    EXPECT_EQ(output, "agree\n");
  }
}

}  // namespace

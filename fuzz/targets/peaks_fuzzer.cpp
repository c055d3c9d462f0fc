// grdpeaks on an arbitrary command line, grid file, experiment file and model. The input holds
// the arguments (separated by 0x01), then after a 0x00 the bytes of F.grd, after another 0x00,
// when there is one, the bytes of F.EXP beside it, and after a third, when there is one, the
// bytes of the model F.cif, which --model then names. The grid file is always F.grd, the model
// F.cif, and a list that would go to a file goes to out.csv or out.json, so that no input reaches
// other files. A run that succeeds must list peaks and holes inside the cell, in order, whose
// multiplicity and site symmetry make up the group, each with its nearest atom at a finite
// distance when there is a model, and whole JSON text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzzing/session.hpp"
#include "grdpeaks/options.hpp"
#include "grdpeaks/peak_run.hpp"
#include "support/files.hpp"

namespace {

std::vector<std::string> split(std::string_view text, char separator) {
  std::vector<std::string> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

void check_list(const std::vector<analysis::Peak>& list, const grdpeaks::MapReport& report,
                bool holes) {
  for (std::size_t n = 0; n < list.size(); ++n) {
    const analysis::Peak& p = list[n];
    for (const double x : p.position) {
      if (!(x >= 0.0 && x < 1.0)) fuzzing::fail("a position outside the cell");
    }
    if (!std::isfinite(p.height)) fuzzing::fail("a height that is not finite");
    if (p.multiplicity * p.site_symmetry_order != report.summary.group.order()) {
      fuzzing::fail("multiplicity and site symmetry do not make up the group");
    }
    if (n > 0 && (holes ? p.height < list[n - 1].height : p.height > list[n - 1].height)) {
      fuzzing::fail("the list is out of order");
    }
  }
}

void check_atoms(const std::vector<std::optional<grdpeaks::PeakAtom>>& atoms, std::size_t listed) {
  if (atoms.size() != listed) fuzzing::fail("not one nearest atom per peak");
  for (const std::optional<grdpeaks::PeakAtom>& atom : atoms) {
    if (atom && !(atom->distance >= 0.0 && std::isfinite(atom->distance))) {
      fuzzing::fail("a nearest atom at no finite distance");
    }
  }
}

void check(const grdpeaks::MapReport& report) {
  check_list(report.peaks, report, false);
  if (report.holes) check_list(*report.holes, report, true);
  if (report.model) {
    check_atoms(report.peak_atoms, report.peaks.size());
    if (report.holes) check_atoms(report.hole_atoms, report.holes->size());
  }
  const std::string json = grdpeaks::json_text(report);
  if (!json.starts_with("{\n") || !json.ends_with("}\n")) fuzzing::fail("JSON text not whole");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> parts = split({reinterpret_cast<const char*>(data), size}, '\0');
  grdpeaks::Options options;
  try {
    options = grdpeaks::parse_options(split(parts[0], '\x01'));
  } catch (const grdpeaks::UsageError&) {
    return 0;
  }
  if (parts.size() < 2) return 0;
  options.name = "F.grd";
  if (options.csv && *options.csv != "-") options.csv = "out.csv";
  if (options.json && *options.json != "-") options.json = "out.json";
  fuzzing::Session session;
  support::write_file_bytes("F.grd", parts[1]);
  if (parts.size() > 2) support::write_file_bytes("F.EXP", parts[2]);
  if (parts.size() > 3) support::write_file_bytes("F.cif", parts[3]);
  if (options.model || parts.size() > 3) options.model = "F.cif";
  try {
    const grdpeaks::MapReport report = grdpeaks::analyse(options);
    check(report);
    grdpeaks::write_outputs(options, report);
  } catch (const std::runtime_error& failure) {
    fuzzing::trace(failure.what());
  }
  return 0;
}

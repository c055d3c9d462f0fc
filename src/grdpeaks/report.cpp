#include "grdpeaks/report.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace grdpeaks {

namespace {

template <typename... T>
std::string formatted(const char* format, T... values) {
  char text[256];
  const int length = std::snprintf(text, sizeof text, format, values...);
  return std::string(text, static_cast<std::size_t>(std::clamp(length, 0, int(sizeof text) - 1)));
}

std::string group_text(const Summary& s) {
  const analysis::SpaceGroup& g = s.group;
  std::string text = g.symbol;
  if (g.number > 0) text += formatted(" (number %d)", g.number);
  if (g.two_origins) {
    text += ", origin choice 2: at the inversion centre, as the conversion takes the group";
  }
  return text;
}

std::string symmetry_text(const Summary& s) {
  if (s.group.order() == 1) return "P 1: nothing to merge";
  return s.grid_carries_group
             ? "the grid carries the group: the images of a grid point are grid points"
             : "the grid does not carry the group: values at symmetry images were interpolated";
}

std::string value_line(const char* label, double value, const analysis::MapStatistics& stats) {
  return formatted("%-13s%.6g (%.2f sigma)\n", label, value, stats.in_sigma(value));
}

std::string summary_text(const Summary& s) {
  const analysis::MapStatistics& st = s.statistics;
  std::string text;
  text += formatted("%-13s%s\n", "Grid file", s.grid_file.c_str());
  text += formatted("%-13s%s\n", "Title", s.title.c_str());
  text += formatted("%-13s%s\n", "Map type", s.map_type.c_str());
  text += formatted("%-13s%d x %d x %d points\n", "Grid", s.divisions[0], s.divisions[1],
                    s.divisions[2]);
  text +=
      formatted("%-13sa %.5f  b %.5f  c %.5f A, alpha %.4f  beta %.4f  gamma %.4f deg\n", "Cell",
                s.lengths[0], s.lengths[1], s.lengths[2], s.angles[0], s.angles[1], s.angles[2]);
  text += formatted("%-13s%s\n", "Space group", group_text(s).c_str());
  text += formatted("%-13s%s\n", "", s.group_source.c_str());
  text += formatted("%-13s%s\n", "Symmetry", symmetry_text(s).c_str());
  text += value_line("Minimum", st.minimum, st);
  text += value_line("Maximum", st.maximum, st);
  text += formatted("%-13s%.6g\n", "Mean", st.mean);
  text += formatted("%-13s%.6g (standard deviation about the mean)\n", "Sigma", st.sigma);
  text += formatted("%-13s%.6g\n", "R.m.s.", st.rms);
  return text;
}

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

std::string model_summary_text(const ModelSummary& m) {
  std::string text = formatted("%-13s%s, data_%s: %zu atoms\n", "Model", m.file.c_str(),
                               m.block.c_str(), m.atom_count);
  text +=
      formatted("%-13scell a %.5f  b %.5f  c %.5f A, alpha %.4f  beta %.4f  gamma %.4f deg\n", "",
                m.lengths[0], m.lengths[1], m.lengths[2], m.angles[0], m.angles[1], m.angles[2]);
  const double percent = 100.0 * analysis::kCellLengthTolerance;
  if (m.cell_differences.empty()) {
    text += formatted(
        "%-13sits cell agrees with the map's (lengths within %.1f %%, angles "
        "within %.1f deg)\n",
        "", percent, analysis::kCellAngleTolerance);
  } else {
    text += formatted(
        "%-13sits cell differs from the map's in %s (beyond %.1f %% or %.1f deg): "
        "distances are taken in the map's cell\n",
        "", joined(m.cell_differences).c_str(), percent, analysis::kCellAngleTolerance);
  }
  return text;
}

std::string unsupported_text(const ModelSummary& m, const Summary& s) {
  if (!m.support_checked) {
    return "\nModel atoms: not checked for peaks near them (in a difference map a well-placed "
           "atom has none)\n";
  }
  std::string text = formatted("\nModel atoms without a peak above %.2f sigma within %.2f A: %zu\n",
                               s.min_sigma, analysis::kSupportRadius, m.unsupported.size());
  if (m.unsupported.empty()) return text;
  text += "  label             x        y        z\n";
  for (const analysis::ModelAtom& atom : m.unsupported) {
    text += formatted("  %-12s %8.5f %8.5f %8.5f\n", atom.label.c_str(), atom.position[0],
                      atom.position[1], atom.position[2]);
  }
  return text;
}

std::string distance_text(const std::optional<double>& d, const char* format) {
  return d ? formatted(format, *d) : std::string("");
}

std::string atom_cells(const std::optional<PeakAtom>& atom) {
  if (!atom) return "";
  return formatted("  %-10s %8.3f  %s", atom->label.c_str(), atom->distance, atom->image.c_str());
}

std::string table_text(const char* kind, const std::vector<analysis::Peak>& list,
                       const std::vector<std::optional<PeakAtom>>& atoms, const Summary& s) {
  const bool with_atoms = !atoms.empty();
  std::string text =
      formatted("\n%s: %zu, at most %d, at least %.2f sigma %s the mean\n", kind, list.size(),
                s.count, s.min_sigma, std::string(kind) == "Peaks" ? "above" : "below");
  if (list.empty()) return text;
  text +=
      "   #        x        y        z        height  height  mult  site   nearest  merged"
      "      spread";
  text += with_atoms ? "  nearest     distance  symmetry image\n" : "\n";
  text +=
      "                                  (map units) (sigma)        order  peak (A)      "
      " (map units)";
  text += with_atoms ? "  atom             (A)  of the atom\n" : "\n";
  int number = 0;
  for (const analysis::Peak& p : list) {
    const std::string nearest = p.nearest_peak_distance
                                    ? formatted("%10.3f", *p.nearest_peak_distance)
                                    : std::string(10, ' ');
    text += formatted("%4d %8.5f %8.5f %8.5f %13.6g %7.2f %5d %5d %s %7d %12.4g", number + 1,
                      p.position[0], p.position[1], p.position[2], p.height, p.height_sigma,
                      p.multiplicity, p.site_symmetry_order, nearest.c_str(), p.images_merged,
                      p.height_spread);
    text += (with_atoms ? atom_cells(atoms[std::size_t(number)]) : "") + "\n";
    ++number;
  }
  return text;
}

// A JSON string of `text`; bytes that are not printable ASCII are shown as "?", as in messages.
std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else {
      out += std::isprint(u) ? c : '?';
    }
  }
  return out + "\"";
}

std::string json_number(double value) {
  return std::isfinite(value) ? formatted("%.9g", value) : std::string("null");
}

std::string json_atom(const std::optional<PeakAtom>& atom) {
  if (!atom) {
    return ", \"nearest_atom\": null, \"nearest_atom_distance\": null, "
           "\"nearest_atom_image\": null";
  }
  return ", \"nearest_atom\": " + json_string(atom->label) +
         ", \"nearest_atom_distance\": " + json_number(atom->distance) +
         ", \"nearest_atom_image\": " + json_string(atom->image);
}

std::string json_peak(const analysis::Peak& p, const std::optional<PeakAtom>* atom) {
  return "{\"x\": " + json_number(p.position[0]) + ", \"y\": " + json_number(p.position[1]) +
         ", \"z\": " + json_number(p.position[2]) + ", \"height\": " + json_number(p.height) +
         ", \"height_sigma\": " + json_number(p.height_sigma) +
         ", \"multiplicity\": " + std::to_string(p.multiplicity) +
         ", \"site_symmetry_order\": " + std::to_string(p.site_symmetry_order) +
         ", \"nearest_peak_distance\": " +
         (p.nearest_peak_distance ? json_number(*p.nearest_peak_distance) : "null") +
         ", \"images_merged\": " + std::to_string(p.images_merged) +
         ", \"height_spread\": " + json_number(p.height_spread) +
         (atom != nullptr ? json_atom(*atom) : "") + "}";
}

std::string json_list(const std::vector<analysis::Peak>& list,
                      const std::vector<std::optional<PeakAtom>>& atoms) {
  std::string text = "[";
  for (std::size_t i = 0; i < list.size(); ++i) {
    text +=
        (i == 0 ? "\n    " : ",\n    ") + json_peak(list[i], atoms.empty() ? nullptr : &atoms[i]);
  }
  return text + (list.empty() ? "]" : "\n  ]");
}

std::string json_summary(const Summary& s) {
  const analysis::MapStatistics& st = s.statistics;
  const analysis::SpaceGroup& g = s.group;
  std::string text = "{\n";
  text += "    \"grid_file\": " + json_string(s.grid_file) + ",\n";
  text += "    \"title\": " + json_string(s.title) + ",\n";
  text += "    \"map_type\": " + json_string(s.map_type) + ",\n";
  text +=
      formatted("    \"grid\": [%d, %d, %d],\n", s.divisions[0], s.divisions[1], s.divisions[2]);
  text += "    \"cell\": [" + json_number(s.lengths[0]) + ", " + json_number(s.lengths[1]) + ", " +
          json_number(s.lengths[2]) + ", " + json_number(s.angles[0]) + ", " +
          json_number(s.angles[1]) + ", " + json_number(s.angles[2]) + "],\n";
  text += "    \"space_group\": " + json_string(g.symbol) + ",\n";
  text +=
      "    \"space_group_number\": " + (g.number > 0 ? std::to_string(g.number) : "null") + ",\n";
  text += std::string("    \"origin_choice\": ") + (g.two_origins ? "2" : "null") + ",\n";
  text += std::string("    \"grid_carries_symmetry\": ") +
          (s.grid_carries_group ? "true" : "false") + ",\n";
  text += "    \"minimum\": " + json_number(st.minimum) + ",\n";
  text += "    \"maximum\": " + json_number(st.maximum) + ",\n";
  text += "    \"mean\": " + json_number(st.mean) + ",\n";
  text += "    \"sigma\": " + json_number(st.sigma) + ",\n";
  text += "    \"rms\": " + json_number(st.rms) + ",\n";
  text += "    \"minimum_sigma\": " + json_number(st.in_sigma(st.minimum)) + ",\n";
  text += "    \"maximum_sigma\": " + json_number(st.in_sigma(st.maximum)) + ",\n";
  text += "    \"merge_radius\": " + json_number(s.merge_radius) + "\n  }";
  return text;
}

std::string json_names(const std::vector<std::string>& names) {
  std::string text = "[";
  for (const std::string& name : names) text += (text.size() > 1 ? ", " : "") + json_string(name);
  return text + "]";
}

std::string json_model(const ModelSummary& m) {
  std::string text = "{\n";
  text += "    \"file\": " + json_string(m.file) + ",\n";
  text += "    \"data_block\": " + json_string(m.block) + ",\n";
  text += "    \"atoms\": " + std::to_string(m.atom_count) + ",\n";
  text += "    \"cell\": [" + json_number(m.lengths[0]) + ", " + json_number(m.lengths[1]) + ", " +
          json_number(m.lengths[2]) + ", " + json_number(m.angles[0]) + ", " +
          json_number(m.angles[1]) + ", " + json_number(m.angles[2]) + "],\n";
  text += std::string("    \"cell_agrees\": ") + (m.cell_differences.empty() ? "true" : "false") +
          ",\n";
  text += "    \"cell_differences\": " + json_names(m.cell_differences) + ",\n";
  text += "    \"support_radius\": " + json_number(analysis::kSupportRadius) + "\n  }";
  return text;
}

std::string json_unsupported(const ModelSummary& m) {
  if (!m.support_checked) return "null";
  std::string text = "[";
  for (const analysis::ModelAtom& atom : m.unsupported) {
    text += std::string(text.size() > 1 ? ",\n    " : "\n    ") +
            "{\"label\": " + json_string(atom.label) + ", \"x\": " + json_number(atom.position[0]) +
            ", \"y\": " + json_number(atom.position[1]) +
            ", \"z\": " + json_number(atom.position[2]) + "}";
  }
  return text + (m.unsupported.empty() ? "]" : "\n  ]");
}

// A CSV field: quoted when it holds a comma, a quote or a line end (an image "-x,y,z" does);
// bytes that are not printable ASCII are shown as "?", as in JSON.
std::string csv_field(const std::string& text) {
  std::string shown;
  bool quote = false;
  for (const char c : text) {
    quote = quote || c == ',' || c == '"';
    if (c == '"') shown += '"';
    shown += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
  }
  return quote ? "\"" + shown + "\"" : shown;
}

std::string csv_atom(const std::optional<PeakAtom>& atom) {
  if (!atom) return ",,,";
  return "," + csv_field(atom->label) + formatted(",%.6g,", atom->distance) +
         csv_field(atom->image);
}

std::string csv_rows(const char* kind, const std::vector<analysis::Peak>& list,
                     const std::vector<std::optional<PeakAtom>>& atoms) {
  std::string text;
  std::size_t number = 0;
  for (const analysis::Peak& p : list) {
    text += formatted("%s,%zu,%.6f,%.6f,%.6f,%.9g,%.6g,%d,%d,", kind, number + 1, p.position[0],
                      p.position[1], p.position[2], p.height, p.height_sigma, p.multiplicity,
                      p.site_symmetry_order) +
            distance_text(p.nearest_peak_distance, "%.6g") +
            formatted(",%d,%.6g", p.images_merged, p.height_spread) +
            (atoms.empty() ? "" : csv_atom(atoms[number])) + "\n";
    ++number;
  }
  return text;
}

// The model's atoms without a peak: their position as the model gives it and their label under
// nearest_atom; the fields of a peak stay empty.
std::string csv_unsupported(const ModelSummary& m) {
  std::string text;
  std::size_t number = 0;
  for (const analysis::ModelAtom& atom : m.unsupported) {
    text += formatted("unsupported_atom,%zu,%.6f,%.6f,%.6f,,,,,,,,", ++number, atom.position[0],
                      atom.position[1], atom.position[2]) +
            csv_field(atom.label) + ",,\n";
  }
  return text;
}

}  // namespace

std::string terminal_text(const MapReport& report) {
  std::string text = summary_text(report.summary);
  if (report.model) text += model_summary_text(*report.model);
  text += table_text("Peaks", report.peaks, report.peak_atoms, report.summary);
  if (report.holes) text += table_text("Holes", *report.holes, report.hole_atoms, report.summary);
  if (report.model) text += unsupported_text(*report.model, report.summary);
  return text;
}

std::string csv_text(const MapReport& report) {
  std::string text =
      "kind,number,x,y,z,height,height_sigma,multiplicity,site_symmetry_order,"
      "nearest_peak_distance,images_merged,height_spread";
  text += report.model ? ",nearest_atom,nearest_atom_distance,nearest_atom_image\n" : "\n";
  text += csv_rows("peak", report.peaks, report.peak_atoms);
  if (report.holes) text += csv_rows("hole", *report.holes, report.hole_atoms);
  if (report.model) text += csv_unsupported(*report.model);
  return text;
}

std::string json_text(const MapReport& report) {
  std::string text = "{\n  \"summary\": " + json_summary(report.summary);
  if (report.model) text += ",\n  \"model\": " + json_model(*report.model);
  text += ",\n  \"peaks\": " + json_list(report.peaks, report.peak_atoms);
  text += ",\n  \"holes\": " +
          (report.holes ? json_list(*report.holes, report.hole_atoms) : std::string("[]"));
  if (report.model) text += ",\n  \"unsupported_atoms\": " + json_unsupported(*report.model);
  return text + "\n}\n";
}

}  // namespace grdpeaks

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

std::string distance_text(const std::optional<double>& d, const char* format) {
  return d ? formatted(format, *d) : std::string("");
}

std::string table_text(const char* kind, const std::vector<analysis::Peak>& list,
                       const Summary& s) {
  std::string text =
      formatted("\n%s: %zu, at most %d, at least %.2f sigma %s the mean\n", kind, list.size(),
                s.count, s.min_sigma, std::string(kind) == "Peaks" ? "above" : "below");
  if (list.empty()) return text;
  text +=
      "   #        x        y        z        height  height  mult  site   nearest  merged"
      "      spread\n"
      "                                  (map units) (sigma)        order  peak (A)      "
      " (map units)\n";
  int number = 0;
  for (const analysis::Peak& p : list) {
    const std::string nearest = p.nearest_peak_distance
                                    ? formatted("%10.3f", *p.nearest_peak_distance)
                                    : std::string(10, ' ');
    text += formatted("%4d %8.5f %8.5f %8.5f %13.6g %7.2f %5d %5d %s %7d %12.4g\n", ++number,
                      p.position[0], p.position[1], p.position[2], p.height, p.height_sigma,
                      p.multiplicity, p.site_symmetry_order, nearest.c_str(), p.images_merged,
                      p.height_spread);
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

std::string json_peak(const analysis::Peak& p) {
  return "{\"x\": " + json_number(p.position[0]) + ", \"y\": " + json_number(p.position[1]) +
         ", \"z\": " + json_number(p.position[2]) + ", \"height\": " + json_number(p.height) +
         ", \"height_sigma\": " + json_number(p.height_sigma) +
         ", \"multiplicity\": " + std::to_string(p.multiplicity) +
         ", \"site_symmetry_order\": " + std::to_string(p.site_symmetry_order) +
         ", \"nearest_peak_distance\": " +
         (p.nearest_peak_distance ? json_number(*p.nearest_peak_distance) : "null") +
         ", \"images_merged\": " + std::to_string(p.images_merged) +
         ", \"height_spread\": " + json_number(p.height_spread) + "}";
}

std::string json_list(const std::vector<analysis::Peak>& list) {
  std::string text = "[";
  for (std::size_t i = 0; i < list.size(); ++i) {
    text += (i == 0 ? "\n    " : ",\n    ") + json_peak(list[i]);
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

std::string csv_rows(const char* kind, const std::vector<analysis::Peak>& list) {
  std::string text;
  int number = 0;
  for (const analysis::Peak& p : list) {
    text += formatted("%s,%d,%.6f,%.6f,%.6f,%.9g,%.6g,%d,%d,", kind, ++number, p.position[0],
                      p.position[1], p.position[2], p.height, p.height_sigma, p.multiplicity,
                      p.site_symmetry_order) +
            distance_text(p.nearest_peak_distance, "%.6g") +
            formatted(",%d,%.6g\n", p.images_merged, p.height_spread);
  }
  return text;
}

}  // namespace

std::string terminal_text(const MapReport& report) {
  std::string text = summary_text(report.summary);
  text += table_text("Peaks", report.peaks, report.summary);
  if (report.holes) text += table_text("Holes", *report.holes, report.summary);
  return text;
}

std::string csv_text(const MapReport& report) {
  std::string text =
      "kind,number,x,y,z,height,height_sigma,multiplicity,site_symmetry_order,"
      "nearest_peak_distance,images_merged,height_spread\n";
  text += csv_rows("peak", report.peaks);
  if (report.holes) text += csv_rows("hole", *report.holes);
  return text;
}

std::string json_text(const MapReport& report) {
  return "{\n  \"summary\": " + json_summary(report.summary) +
         ",\n  \"peaks\": " + json_list(report.peaks) +
         ",\n  \"holes\": " + (report.holes ? json_list(*report.holes) : std::string("[]")) +
         "\n}\n";
}

}  // namespace grdpeaks

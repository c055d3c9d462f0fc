// Where an experiment's files lie and what they are called: an experiment is a directory part
// and a name, and every file of it is that stem followed by an extension (ALPHA.EXP, ALPHA.FOB,
// ALPHA.grd, ...). Only the file-name part is ever searched for ".EXP", so a directory such as
// "runs.EXPT/" is kept whole; paths have no length limit.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace expfile {

// The extension of every experiment file.
inline constexpr std::string_view kExperimentExtension = ".EXP";

// The four upper-case hexadecimal digits of `n` (0 to 65535), most significant first, into
// `text`.
void HEX4(std::string& text, int n);

struct ExperimentPath {
  std::string directory;  // as given, up to and including the last "/"; empty for none
  std::string name;       // the experiment's name within the directory

  // The experiment named `name` ("data/ABC" is the experiment ABC in the directory data/).
  static ExperimentPath of_name(std::string_view name);
  // The experiment whose file is `file_name`: its name is the file-name part up to its first
  // ".EXP" ("data/ABC.EXP" gives data/ and ABC). Nothing when the file-name part holds no ".EXP".
  static std::optional<ExperimentPath> of_file(std::string_view file_name);

  std::string stem() const { return directory + name; }
  std::string experiment_file() const { return stem() + std::string(kExperimentExtension); }
  // NAME. followed by the first three characters of the map type: NAME.FOB for "FOBS".
  std::string map_file(std::string_view map_type) const;
  std::string grid_file() const { return stem() + ".grd"; }
  std::string listing_file() const { return stem() + ".LST"; }
  // The file as it was before a conversion of its physical form.
  std::string converted_source() const { return stem() + ".CRP"; }
  // The new experiment file while a working copy is written.
  std::string working_copy() const { return stem() + ".NEW"; }
  // NAME.O followed by the last two of the four hexadecimal digits of `number`: 1 gives
  // NAME.O01, 255 NAME.OFF, 256 NAME.O00.
  std::string backup(int number) const;
};

}  // namespace expfile

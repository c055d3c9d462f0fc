#include "expfile/experiment_path.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace expfile_test {
namespace {

using expfile::ExperimentPath;

// A directory path of 100 characters, longer than any fixed name field of the experiment file.
const std::string kLongDirectory = std::string(99, 'D') + "/";

struct SplitCase {
  std::string text;
  std::optional<ExperimentPath> file;  // what of_file gives
  ExperimentPath name;                 // what of_name gives
};

TEST(ExperimentPath, SplitsDirectoryAndNameAndFindsTheExtensionInTheNameOnly) {
  const std::vector<SplitCase> cases = {
      {"ALPHA.EXP", ExperimentPath{"", "ALPHA"}, {"", "ALPHA.EXP"}},
      {"ALPHA", std::nullopt, {"", "ALPHA"}},
      {"data/abc", std::nullopt, {"data/", "abc"}},
      {"runs.EXPT/ALPHA.EXP", ExperimentPath{"runs.EXPT/", "ALPHA"}, {"runs.EXPT/", "ALPHA.EXP"}},
      {"runs.EXPT/ALPHA", std::nullopt, {"runs.EXPT/", "ALPHA"}},
      {"/a.EXP/b/ABC.EXP.EXP", ExperimentPath{"/a.EXP/b/", "ABC"}, {"/a.EXP/b/", "ABC.EXP.EXP"}},
      {"ABC.EXPT.EXP", ExperimentPath{"", "ABC"}, {"", "ABC.EXPT.EXP"}},
      {"ABC.exp", std::nullopt, {"", "ABC.exp"}},
      {"data/.EXP", ExperimentPath{"data/", ""}, {"data/", ".EXP"}},
      {"data/", std::nullopt, {"data/", ""}},
      {kLongDirectory + "SECOND/ALPHA.EXP",
       ExperimentPath{kLongDirectory + "SECOND/", "ALPHA"},
       {kLongDirectory + "SECOND/", "ALPHA.EXP"}},
  };
  for (const SplitCase& c : cases) {
    const std::optional<ExperimentPath> file = ExperimentPath::of_file(c.text);
    ASSERT_EQ(file.has_value(), c.file.has_value()) << c.text;
    if (file) {
      EXPECT_EQ(file->directory, c.file->directory) << c.text;
      EXPECT_EQ(file->name, c.file->name) << c.text;
    }
    const ExperimentPath name = ExperimentPath::of_name(c.text);
    EXPECT_EQ(name.directory, c.name.directory) << c.text;
    EXPECT_EQ(name.name, c.name.name) << c.text;
  }
}

TEST(ExperimentPath, FilesOfTheExperimentLieBesideItsExperimentFile) {
  const ExperimentPath runs{"runs.EXPT/", "ALPHA"};
  const ExperimentPath here{"", "ABC"};
  const std::vector<std::pair<std::string, std::string>> cases = {
      {runs.stem(), "runs.EXPT/ALPHA"},
      {runs.experiment_file(), "runs.EXPT/ALPHA.EXP"},
      {runs.map_file("FOBS"), "runs.EXPT/ALPHA.FOB"},
      {runs.map_file("2FDF"), "runs.EXPT/ALPHA.2FD"},
      {runs.grid_file(), "runs.EXPT/ALPHA.grd"},
      {runs.listing_file(), "runs.EXPT/ALPHA.LST"},
      {runs.converted_source(), "runs.EXPT/ALPHA.CRP"},
      {runs.working_copy(), "runs.EXPT/ALPHA.NEW"},
      {runs.backup(1), "runs.EXPT/ALPHA.O01"},
      {here.map_file("DPTS"), "ABC.DPT"},
      {here.backup(10), "ABC.O0A"},
      {here.backup(255), "ABC.OFF"},
      {here.backup(256), "ABC.O00"},
  };
  for (const auto& [got, expected] : cases) EXPECT_EQ(got, expected);
}

}  // namespace
}  // namespace expfile_test

#include "gridfile/grid_file_name.hpp"

#include <cerrno>

#include "os/os.hpp"
#include "textio/text.hpp"

namespace gridfile {

namespace {

bool is_absent(const std::string& name) {
  os::FileStatus status;
  return os::file_status(name, status) == ENOENT;
}

std::string mapconv_grid_file(const std::string& name) {
  const std::size_t name_start = os::file_name_start(name);  // 0 without a directory part
  return name.substr(0, name_start) + textio::upper_case(name.substr(name_start)) + ".grd";
}

}  // namespace

std::filesystem::path grid_file_named(const std::string& argument) {
  if (textio::upper_case(argument).ends_with(".GRD") || !is_absent(argument)) {
    return os::path_of(argument);
  }
  const std::string written_by_mapconv = mapconv_grid_file(argument);
  const std::string as_typed = argument + ".grd";
  if (is_absent(written_by_mapconv) && !is_absent(as_typed)) return os::path_of(as_typed);
  return os::path_of(written_by_mapconv);
}

std::filesystem::path experiment_file_beside(const std::filesystem::path& grid_file) {
  std::filesystem::path experiment = grid_file;
  experiment.replace_extension(".EXP");
  return experiment;
}

}  // namespace gridfile

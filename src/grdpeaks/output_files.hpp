// The files a run of grdpeaks writes (--csv, --json): each written whole to a temporary file
// beside it first, and all of them put in place only when every one was written, so that a run
// that fails leaves every earlier file as it was.
#pragma once

#include <string>
#include <vector>

#include "textio/file_replacement.hpp"

namespace grdpeaks {

class OutputFiles {
 public:
  OutputFiles() = default;
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;

  // Writes `text` to a temporary file that is to take the name `name`; a device or a FIFO is
  // written at once. Throws std::runtime_error naming `name` and the reason.
  void write(const std::string& name, const std::string& text);

  // Puts every temporary file in its place. Throws std::runtime_error naming the file whose
  // rename failed.
  void commit();

 private:
  // Written whole and closed; their temporary files are removed with them unless committed.
  std::vector<std::pair<std::string, textio::FileReplacement>> pending_;
};

}  // namespace grdpeaks

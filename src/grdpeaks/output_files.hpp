// The files a run of grdpeaks writes (--csv, --json): each written whole to a temporary file
// beside it first, and all of them put in place only when every one was written, so that a run
// that fails leaves every earlier file as it was.
#pragma once

#include <string>
#include <vector>

#include "textio/temporary_file.hpp"

namespace grdpeaks {

class OutputFiles {
 public:
  OutputFiles() = default;
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;
  // Removes the temporary files of a run that did not commit them.
  ~OutputFiles();

  // Writes `text` to a temporary file that is to take the name `name`; a device or a FIFO is
  // written at once. Throws std::runtime_error naming `name` and the reason.
  void write(const std::string& name, const std::string& text);

  // Puts every temporary file in its place. Throws std::runtime_error naming the file whose
  // rename failed.
  void commit();

 private:
  std::vector<std::pair<std::string, textio::TemporaryFile>> pending_;
};

}  // namespace grdpeaks

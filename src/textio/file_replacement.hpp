// One way to replace a file: its new content is written to a temporary file beside it and takes
// the name only when whole, so the named file holds either its old bytes or all of the new ones.
// A replacement that is not committed removes its temporary file when it ends, whatever path the
// run takes out of it. A device or a FIFO is written in place: there is no file to replace.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "textio/temporary_file.hpp"

namespace textio {

struct ReplacementOptions {
  // Synced to the disk, and its rename with it, before the replacement counts as done. Files that
  // can always be made again (grids, maps, lists) need not be.
  bool durable = true;
  // The temporary file starts with a copy of the replaced file's bytes.
  bool copy_contents = false;
  // The new file takes the name only where no file holds it; one that appeared meanwhile is kept
  // and the new content stays under its temporary name (kErrNewFileExists from commit).
  bool only_where_absent = false;
};

class FileReplacement {
 public:
  FileReplacement() = default;
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;
  FileReplacement(FileReplacement&& other) noexcept;
  FileReplacement& operator=(FileReplacement&& other) noexcept;
  ~FileReplacement();

  // Starts the replacement of the file `name` (a symbolic link's target, so that the link keeps
  // leading to the new content). Returns 0, EISDIR for a directory, or the error number; on
  // failure nothing is left behind and nothing is pending.
  int begin(const std::string& name, const ReplacementOptions& options = {});

  // The stream to write, open for reading and writing; nullptr when nothing is pending or after
  // close_stream().
  std::FILE* stream() const { return file_; }
  // The file being written: the temporary file, or the name itself when written in place.
  const std::string& written_path() const;
  // The file whose place the new content takes (links followed).
  const std::string& replaced_path() const;
  bool in_place() const { return pending_ && !temporary_; }
  bool pending() const { return pending_; }
  const TemporaryFile* temporary() const { return temporary_ ? &*temporary_ : nullptr; }

  // Closes the stream (synced first when durable) without putting the file in place, for writers
  // that open the file again by its name. Returns 0 or the error number.
  int close_stream();
  // Closes the stream if still open and puts the new content in place. Returns 0 or the error
  // number; on failure the temporary file is removed and the replaced file left as it was, except
  // that a file that may only take an absent name keeps its temporary name (kErrNewFileExists).
  int commit();
  // Closes the stream and removes the temporary file; the named file stays as it was.
  void discard();

 private:
  bool pending_ = false;
  bool durable_ = true;
  std::string name_;
  std::optional<TemporaryFile> temporary_;
  std::FILE* file_ = nullptr;
};

}  // namespace textio

#include "textio/file_replacement.hpp"

#include <cerrno>
#include <utility>

#include "os/os.hpp"

namespace textio {
namespace {

int error_or(int fallback) {
  return errno != 0 ? errno : fallback;
}

}  // namespace

FileReplacement::FileReplacement(FileReplacement&& other) noexcept
    : pending_(std::exchange(other.pending_, false)),
      durable_(other.durable_),
      name_(std::move(other.name_)),
      temporary_(std::exchange(other.temporary_, std::nullopt)),
      file_(std::exchange(other.file_, nullptr)) {}

FileReplacement& FileReplacement::operator=(FileReplacement&& other) noexcept {
  if (this != &other) {
    discard();
    pending_ = std::exchange(other.pending_, false);
    durable_ = other.durable_;
    name_ = std::move(other.name_);
    temporary_ = std::exchange(other.temporary_, std::nullopt);
    file_ = std::exchange(other.file_, nullptr);
  }
  return *this;
}

FileReplacement::~FileReplacement() {
  discard();
}

int FileReplacement::begin(const std::string& name, const ReplacementOptions& options) {
  discard();
  ReplacementTarget target;
  if (const int status = replacement_target(name, target)) return status;
  int status = 0;
  std::FILE* file = nullptr;
  std::optional<TemporaryFile> temporary;
  if (target.in_place) {
    file = os::open_file(target.path, options.copy_contents ? "r+b" : "wb", status);
  } else {
    status = create_temporary_file(target.path, options.copy_contents, temporary.emplace(), file);
  }
  if (status != 0) return status;
  if (temporary) {
    temporary->durable = options.durable;
    temporary->only_where_absent = options.only_where_absent;
  }
  pending_ = true;
  durable_ = options.durable;
  name_ = target.path;
  temporary_ = std::move(temporary);
  file_ = file;
  return 0;
}

const std::string& FileReplacement::written_path() const {
  return temporary_ ? temporary_->path : name_;
}

const std::string& FileReplacement::replaced_path() const {
  return name_;
}

int FileReplacement::close_stream() {
  if (file_ == nullptr) return 0;
  errno = 0;
  int status = std::fflush(file_) != 0 ? error_or(EIO) : 0;
  if (status == 0 && durable_ && temporary_) status = sync_stream(file_);
  errno = 0;
  if (std::fclose(file_) != 0 && status == 0) status = error_or(EIO);
  file_ = nullptr;
  return status;
}

int FileReplacement::commit() {
  if (!pending_) return 0;
  int status = close_stream();
  if (status == 0 && temporary_) {
    status = put_temporary_in_place(*temporary_);
    // put_temporary_in_place has removed the file, or kept it under its temporary name.
    temporary_.reset();
  }
  if (status != 0) discard();
  pending_ = false;
  return status;
}

void FileReplacement::discard() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (temporary_) discard_temporary_file(*temporary_);
  temporary_.reset();
  pending_ = false;
}

}  // namespace textio

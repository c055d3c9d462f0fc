#include "grdsection/picture_file.hpp"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "grdsection/section_run.hpp"
#include "grdsection/svg_picture.hpp"
#include "gridfile/grid_file_name.hpp"
#include "gridfile/output_check.hpp"
#include "os/os.hpp"
#include "textio/file_replacement.hpp"

namespace grdsection {

namespace {

[[noreturn]] void fail(const std::string& name, int error) {
  throw std::runtime_error(name + ": cannot write the picture: " + std::strerror(error));
}

void put_in_place(const std::string& name, const std::string& text) {
  textio::FileReplacement replacement;
  // Like the grid file, a picture can always be made again.
  int status = replacement.begin(name, {.durable = false});
  if (status == 0) {
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), replacement.stream()) != text.size()) {
      status = errno != 0 ? errno : EIO;
    }
  }
  if (status == 0) status = replacement.commit();
  if (status != 0) fail(name, status);
}

// Standard streams of a program started, closed when the run leaves them.
struct ScratchFile {
  explicit ScratchFile(const std::string& name) {
    int status = 0;
    file = os::open_scratch_file(status);
    if (file == nullptr) fail(name, status);
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;
  ~ScratchFile() { std::fclose(file); }

  std::string first_line() const {
    char line[256] = "";
    std::rewind(file);
    if (std::fgets(line, sizeof line, file) == nullptr) return "no message";
    std::string text = line;
    return text.substr(0, text.find_last_not_of("\r\n") + 1);
  }
  std::FILE* file = nullptr;
};

// The PNG is the SVG drawn by rsvg-convert (librsvg, which GNOME and Inkscape draw SVG with),
// run as a program: a renderer that is there already rather than a rasteriser of our own.
void put_png_in_place(const std::string& name, const std::string& svg) {
  const ScratchFile input(name), messages(name);
  errno = 0;
  if (std::fwrite(svg.data(), 1, svg.size(), input.file) != svg.size() ||
      std::fflush(input.file) != 0) {
    fail(name, errno != 0 ? errno : EIO);
  }
  std::rewind(input.file);
  textio::FileReplacement replacement;
  int status = replacement.begin(name, {.durable = false});
  if (status == 0) status = replacement.close_stream();
  if (status != 0) fail(name, status);
  int exit_status = 0;
  status =
      os::run_program({"rsvg-convert", "--format", "png", "--output", replacement.written_path()},
                      input.file, messages.file, exit_status);
  const std::string cannot = name + ": cannot write the picture: ";
  if (status == ENOENT) {
    throw std::runtime_error(cannot +
                             "rsvg-convert, which makes the PNG, is not on PATH (Debian package "
                             "librsvg2-bin)");
  }
  if (status == ENOSYS) {
    throw std::runtime_error(cannot +
                             "PNG pictures need rsvg-convert, which this build cannot run");
  }
  if (status != 0) fail(name, status);
  if (exit_status != 0) {
    throw std::runtime_error(cannot + "rsvg-convert failed: " + messages.first_line());
  }
  if ((status = replacement.commit()) != 0) fail(name, status);
}

bool makes_png(const Options& options, const std::string& name) {
  std::string extension = name.size() >= 4 ? name.substr(name.size() - 4) : "";
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return options.png || extension == ".png";
}

std::string report_line(const std::string& name, const SectionPicture& picture) {
  std::size_t drawn = 0;
  for (const ContourLevel& level : picture.contours) drawn += level.lines.empty() ? 0 : 1;
  const analysis::SectionPlane& plane = picture.frame.plane();
  char text[160];
  std::snprintf(text, sizeof text,
                ": section %c = %.3f, %zu of %zu contour levels drawn, %zu mark%s\n",
                "xyz"[plane.normal_axis], plane.position, drawn, picture.contours.size(),
                picture.marks.size(), picture.marks.size() == 1 ? "" : "s");
  return "Wrote " + name + text;
}

}  // namespace

Written write_picture(const Options& options) {
  const SectionPicture picture = draw_section(options);
  const std::filesystem::path output = picture_file(options, picture.frame.plane());
  gridfile::refuse_output_that_is_input(gridfile::grid_file_named(options.name), output,
                                        "the picture");
  const std::string name = os::name_of(output);
  if (makes_png(options, name)) {
    put_png_in_place(name, svg_text(picture));
  } else {
    put_in_place(name, svg_text(picture));
  }
  return {report_line(name, picture), picture.notes};
}

}  // namespace grdsection

// Not a benchmark itself: the file work a conversion cannot avoid, and nothing else. Reads the map
// file, writes BYTES of grid text through a new file, exchanges it with the old grid file and
// removes the old one. Timed from outside beside `mapconv --version` and a conversion (see
// bench/README.md), it shows how much of a small conversion's time the file work alone takes.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "os/os.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: file_work_floor MAP GRID BYTES\n");
    return 2;
  }
  std::vector<char> buffer(1 << 16, ' ');
  int status = 0;
  if (std::FILE* map = os::open_file(argv[1], "rb", status)) {
    while (std::fread(buffer.data(), 1, buffer.size(), map) == buffer.size()) {
    }
    std::fclose(map);
  }
  const std::string grid = argv[2];
  const std::string partial = grid + ".partial";
  std::FILE* out = nullptr;
  if (os::create_new_file(partial, out) != 0) return 1;
  for (long left = std::atol(argv[3]); left > 0; left -= static_cast<long>(buffer.size())) {
    const auto piece = static_cast<std::size_t>(std::min<long>(left, buffer.size()));
    if (std::fwrite(buffer.data(), 1, piece, out) != piece) return 1;
  }
  if (std::fclose(out) != 0 || !os::exchange_names(partial, grid)) return 1;
  return os::remove_file(partial) == 0 ? 0 : 1;
}

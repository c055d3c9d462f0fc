#include "conversion/driver.hpp"
#include "textio/entry.hpp"

int main(int argc, char** argv) {
  return textio::run_program(argc, argv, [](int, char**) { conversion::MAPCONV(); });
}

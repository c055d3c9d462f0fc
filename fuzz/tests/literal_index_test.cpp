// The store against the index as its definition words it, on random requests over keys chosen to
// meet every corner of the key order: blanks, the deleted marker, characters above it, equal
// keys in the file, prefixes of every length, deletes under the read position.
#include "fuzzing/literal_index.hpp"

#include <gtest/gtest.h>

#include <random>

#include "expfile/store.hpp"
#include "fuzzing/session.hpp"
#include "support/files.hpp"
#include "textio/units.hpp"

namespace fuzzing {
namespace {

constexpr int kUnit = 11;
constexpr const char* kFile = "LITERAL.EXP";

// Requests over a few keys per run, so that the same keys are written, deleted and found again;
// a third of them use characters above "~", which sort after the deleted marker.
class RandomRequests {
 public:
  explicit RandomRequests(unsigned seed) : random_(seed) {
    constexpr std::string_view kCharacters = " AB~\x7f\xff";
    keys_ = {std::string(12, ' '), std::string(12, '~')};
    for (int n = 0; n < 6; ++n) {
      const int alphabet = below(3) == 0 ? 6 : 3;
      std::string key;
      for (int i = 0; i < 12; ++i) key += kCharacters[static_cast<std::size_t>(below(alphabet))];
      keys_.push_back(key);
    }
  }

  int below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(random_); }

  // One of the keys, or its first characters.
  std::string key() {
    const std::string& key = keys_[static_cast<std::size_t>(below(static_cast<int>(keys_.size())))];
    return below(2) == 0 ? key : key.substr(0, static_cast<std::size_t>(below(12)));
  }

  std::string file(int records) {
    std::string file;
    for (int n = 0; n < records; ++n) {
      std::string record = key() + "value " + std::to_string(n);
      record.resize(80, ' ');
      file += record + "\r\n";
    }
    return file;
  }

 private:
  std::mt19937 random_;
  std::vector<std::string> keys_;
};

void open_file() {
  textio::OpenOptions options;
  options.status = "OLD";
  options.access = textio::Access::direct;
  options.record_length = 82;
  textio::open_unit(kUnit, kFile, options);
}

TEST(LiteralIndex, StoreAnswersAndWritesExactlyAsTheLiteralIndex) {
  for (unsigned seed = 1; seed <= 2000; ++seed) {
    RandomRequests random(seed);
    const std::string start = random.file(random.below(12));
    Session session;
    support::write_file_bytes(kFile, start);
    LiteralIndex literal(start);
    ASSERT_EQ(session.run(open_file).ending, Ending::returned);
    for (int op = 0; op < 60; ++op) {
      const int kind = random.below(10);
      std::string key = kind < 3 ? std::string(12, ' ') : random.key();
      if (kind == 9) {
        session.run([] {
          expfile::ISAMCLOSE(kUnit, "KEEP");
          open_file();
        });
        literal.reopen();
      } else if (kind >= 7) {
        const std::string value = "written " + std::to_string(op);
        session.run([&] { expfile::WRITEXP(kUnit, key, value); });
        literal.write(key, value);
      } else {
        const std::string request_value = kind == 6 ? "DELETE" : std::string(20, ' ');
        std::string store_key = key;
        std::string store_value = request_value;
        int status = -1;
        session.run([&] { status = expfile::KEYREAD(kUnit, store_key, store_value); });
        std::string literal_value = request_value;
        const int literal_status = literal.read(key, literal_value);
        ASSERT_EQ(status, literal_status) << "seed " << seed << " op " << op;
        ASSERT_EQ(store_key, key) << "seed " << seed << " op " << op;
        ASSERT_EQ(store_value, literal_value) << "seed " << seed << " op " << op;
      }
    }
    session.run([] { expfile::ISAMCLOSE(kUnit, "KEEP"); });
    ASSERT_EQ(support::read_file_bytes(kFile), literal.file()) << "seed " << seed;
  }
}

}  // namespace
}  // namespace fuzzing

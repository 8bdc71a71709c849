// libFuzzer target for the Paradox reader. An input is a table file; when it holds the
// line "--MB--" the bytes after it are the table's blob file. Every input must either
// read or fail with qv::DbError: no crash, hang or read outside the data.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "db/io/error.h"
#include "db/paradox/table_reader.h"
#include "support/memory_env.h"

using namespace qv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  static const std::string kMarker = "\n--MB--\n";
  test::MemoryEnv env;
  const auto split = input.find(kMarker);
  env.files["/fuzz/t.db"] = input.substr(0, split);
  env.files["/fuzz/t.mb"] = split == std::string::npos ? std::string() : input.substr(split + kMarker.size());
  try {
    paradox::TableReader reader("/fuzz/t.db", env);
    reader.recordCount();
    std::vector<paradox::Value> row;
    for (int n = 0; n < 200000 && reader.next(row); ++n) {
    }
  } catch (const DbError&) {
  }
  return 0;
}

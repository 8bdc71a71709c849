// Fuzzes the Jet engine's reading: the input is a database file (served from memory
// through the I/O seam); the engine opens it, lists its catalogue and reads every row of
// every table. Whatever the bytes, it must either succeed or throw qv::DbError -- never
// crash, hang or read outside a buffer (the sanitizers watch that).

#include <cstdint>
#include <memory>
#include <string>

#include "db/io/error.h"
#include "db/jet/database.h"
#include "support/memory_env.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  qv::test::MemoryEnv env;
  env.files["fuzz.mdb"] = std::string(reinterpret_cast<const char*>(data), size);
  qv::jet::OpenOptions options;
  options.env = &env;
  options.readOnly = true;
  try {
    auto db = qv::jet::openDatabase("fuzz.mdb", options);
    for (const qv::jet::CatalogEntry& e : db->catalog()) {
      if (e.kind != qv::jet::ObjectKind::kUserTable && e.kind != qv::jet::ObjectKind::kSystemTable) continue;
      try {
        qv::jet::Table* t = db->table(e.name);
        if (!t) continue;
        auto cursor = t->scan();
        std::vector<qv::jet::Value> row;
        for (int n = 0; n < 100000 && cursor->next(row); ++n) {
        }
      } catch (const qv::DbError&) {
        // a damaged table: the others are still read
      }
    }
  } catch (const qv::DbError&) {
  }
  return 0;
}

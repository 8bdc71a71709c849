#pragma once
// Where a database file keeps its stored SIDs, for tests that damage them or rewrite
// page 0 (which changes the key they are masked with).

#include <cstdint>
#include <string>
#include <vector>

#include "db/jet/storage/sid_mask.h"

namespace qv::test {

struct SidPlace {
  bool owner = false;  // MSysObjects.Owner; else MSysACEs.SID
  int64_t object = 0;  // the object's catalogue Id
  std::string stored;  // the bytes as stored
  size_t offset = 0;   // where they start in the file
};

// Every non-empty stored SID of a Jet 4/ACE file whose pages are not encoded.
std::vector<SidPlace> sidPlaces(const std::string& path);

// Masks every stored SID again, from the key `from` to the key page 0 now gives: what a
// test must do after it rewrote page 0 to keep the file as the engine would have made it.
void remaskSids(const std::string& path, const jet::SidMask& from);

}  // namespace qv::test

// The drivers compiled into the program, in the order they are asked. The tests' in-memory
// driver is not among them: a test adds it (tests/support/memory_driver.h).

#include "db/ado/access_provider.h"
#include "db/ado/driver.h"
#include "db/ado/paradox_driver.h"

namespace qv::ado {

void registerBuiltinDrivers(DriverRegistry& registry) {
  registry.add(makeParadoxDriver());
  registry.add(makeAccessProvider(&jet::openDatabase));
}

}  // namespace qv::ado

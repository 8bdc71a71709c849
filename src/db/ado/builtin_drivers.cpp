// The drivers compiled into the program, in the order they are asked.

#include "db/ado/access_provider.h"
#include "db/ado/driver.h"
#include "db/ado/memory_driver.h"
#include "db/ado/paradox_driver.h"

namespace qv::ado {

void registerBuiltinDrivers(DriverRegistry& registry) {
  registry.add(makeMemoryDriver());
  registry.add(makeParadoxDriver());
  registry.add(makeAccessProvider(&jet::openDatabase));
}

}  // namespace qv::ado

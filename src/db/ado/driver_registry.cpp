#include "db/ado/driver.h"
#include "db/ado/error.h"

namespace qv::ado {

DriverRegistry& DriverRegistry::instance() {
  static DriverRegistry registry;
  return registry;
}

DriverRegistry::DriverRegistry() { registerBuiltinDrivers(*this); }

void DriverRegistry::add(std::shared_ptr<Driver> driver) { drivers_.push_back(std::move(driver)); }

void DriverRegistry::clear() { drivers_.clear(); }

void DriverRegistry::restoreBuiltins() {
  drivers_.clear();
  registerBuiltinDrivers(*this);
}

std::shared_ptr<Driver> DriverRegistry::find(const ConnectionString& cs) const {
  for (const auto& d : drivers_) {
    if (d->accepts(cs)) return d;
  }
  QString what = cs.value(QStringLiteral("Provider")).value_or(cs.valueOr(QStringLiteral("Driver")));
  throw Error(kErrProviderNotFound,
              QStringLiteral("Provider cannot be found. It may not be properly installed.") +
                  (what.isEmpty() ? QString() : QStringLiteral(" (") + what + QStringLiteral(")")));
}

}  // namespace qv::ado

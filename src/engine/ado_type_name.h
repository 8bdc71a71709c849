#pragma once
// The name of an ADO DataTypeEnum member for a field's type code.

#include <QString>
#include <cstdint>

namespace qv::engine {

// "adBigInt" for 20 and so on; a null QString for a code ADO does not define.
QString AdoTypeName(int16_t code);

}  // namespace qv::engine

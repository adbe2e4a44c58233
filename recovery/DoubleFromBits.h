#pragma once

#include <cstdint>

namespace recovery {

// The IEEE 754 binary64 value of a stored DOUBLE (8 bytes in file order,
// least significant first, read as one unsigned number), written into value
// exactly: subnormals, -0.0, infinities and NaN included. Cannot fail.
void DoubleFromBits(std::uint64_t bits, double& value);

} // namespace recovery

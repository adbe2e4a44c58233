#pragma once

#include <cstdint>

namespace engine {

// One byte per column: the server's field type number as the table
// definition stores it, or one of our own codes for the binary string types
// and the geometry subtypes, so later readers need not look at the charset.
using ColumnTypeCode = std::uint8_t;

} // namespace engine

#include "recovery/DoubleFromBits.h"

#include <bit>
#include <limits>

namespace recovery {

static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559);

void DoubleFromBits(std::uint64_t bits, double& value)
{
    value = std::bit_cast<double>(bits);
}

} // namespace recovery

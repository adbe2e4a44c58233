#include "recovery/CSinglePrecision.h"

#include <bit>
#include <limits>

namespace recovery {

// Every binary32 value is exactly representable as a binary64 value, so the
// widening below loses nothing; the bit pattern is taken as the processor's
// own float (IEEE 754 on every platform we build for).
static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559);

void CSinglePrecision::ToDouble(double& value) const
{
    value = static_cast<double>(std::bit_cast<float>(m_bits));
}

} // namespace recovery

#pragma once

#include <cstdint>

namespace recovery {

// The 32 stored bits of a FLOAT value (its 4 bytes in file order, least
// significant first, read as one unsigned number). Both engines keep FLOAT
// as IEEE 754 binary32.
class CSinglePrecision {
public:
    explicit CSinglePrecision(std::uint32_t bits) : m_bits(bits) {}
    virtual ~CSinglePrecision() = default;

    // Writes the exact binary32 value of the bits into value: subnormals,
    // both zeros, infinities and NaN included. Cannot fail.
    void ToDouble(double& value) const;

private:
    std::uint32_t m_bits = 0;
};

} // namespace recovery

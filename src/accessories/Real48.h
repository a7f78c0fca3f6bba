#pragma once
// The 6-byte real of the calculator and the euro converter: a 40-bit mantissa (hidden bit
// included) and an exponent from 2^-128 to 2^127. Arithmetic is done in long double and each
// stored value is brought back to that precision and range.
#include <optional>

namespace accessories {

// Largest magnitude the type holds, (2 - 2^-39) * 2^126, about 1,7E38.
long double real48Max();

// x rounded to the nearest 6-byte real (ties to even). Magnitudes below the smallest one,
// 2^-128, become 0; nullopt when x is beyond the largest or not a number.
std::optional<long double> toReal48(long double x);

}  // namespace accessories

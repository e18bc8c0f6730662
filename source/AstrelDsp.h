#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

/** Small inline helpers of the audio path, written so that the compiler can vectorise them. */
namespace AstrelDsp
{
    /** True for NaN and both infinities: the exponent bits are all set. */
    inline bool isNonFinite (float value) noexcept
    {
        std::uint32_t bits;
        std::memcpy (&bits, &value, sizeof (bits));
        return (bits & 0x7f800000u) == 0x7f800000u;
    }

    /** All ones for NaN and the infinities, zero otherwise. */
    inline std::uint32_t nonFiniteMask (float value) noexcept
    {
        std::uint32_t bits;
        std::memcpy (&bits, &value, sizeof (bits));
        return 0u - static_cast<std::uint32_t> ((bits & 0x7f800000u) == 0x7f800000u);
    }

    /** The value, or 0 for NaN and the infinities; done on the bits, so without a branch. */
    inline float finiteOrZero (float value) noexcept
    {
        std::uint32_t bits;
        std::memcpy (&bits, &value, sizeof (bits));
        bits &= ~nonFiniteMask (value);
        std::memcpy (&value, &bits, sizeof (bits));
        return value;
    }

    inline bool allFinite (const float* samples, int numSamples) noexcept
    {
        std::uint32_t anyNonFinite = 0;

        for (int i = 0; i < numSamples; ++i)
            anyNonFinite |= nonFiniteMask (samples[i]);

        return anyNonFinite == 0;
    }

    inline void replaceNonFinite (float* samples, int numSamples) noexcept
    {
        for (int i = 0; i < numSamples; ++i)
            samples[i] = finiteOrZero (samples[i]);
    }

    /** atan2 (y, x) for y, x >= 0, within 3e-7 rad, without branches: one division and a
        short odd series whose argument never exceeds tan (pi / 8). */
    inline float positiveAtan2 (float y, float x) noexcept
    {
        constexpr float tanPiOver8 = 0.41421356f;
        constexpr float quarterPi = 0.78539816f;
        constexpr float halfPi = 1.57079633f;

        const auto largest = std::max (y, x);
        const auto smallest = std::min (y, x);

        // atan (s / l) directly when the ratio is small, else pi/4 + atan ((s - l) / (s + l)).
        const bool reduce = smallest > tanPiOver8 * largest;
        const auto numerator = reduce ? smallest - largest : smallest;
        const auto denominator = reduce ? smallest + largest : largest;
        // Both arguments zero leave a numerator of zero; a denominator of 1 then gives t = 0,
        // and the division needs no branch around it.
        const auto t = numerator / (denominator > 0.0f ? denominator : 1.0f);
        const auto t2 = t * t;

        auto series = -1.0f / 15.0f;
        series = series * t2 + 1.0f / 13.0f;
        series = series * t2 - 1.0f / 11.0f;
        series = series * t2 + 1.0f / 9.0f;
        series = series * t2 - 1.0f / 7.0f;
        series = series * t2 + 1.0f / 5.0f;
        series = series * t2 - 1.0f / 3.0f;
        series = series * t2 + 1.0f;

        const auto ratioAngle = (reduce ? quarterPi : 0.0f) + t * series;
        return y > x ? halfPi - ratioAngle : ratioAngle;
    }

    /** The sum of a run of doubles with four running totals, so that the additions do not
        wait on each other. */
    inline double sumOf (const double* values, int count) noexcept
    {
        double a = 0.0, b = 0.0, c = 0.0, d = 0.0;
        int i = 0;

        for (; i + 4 <= count; i += 4)
        {
            a += values[i];
            b += values[i + 1];
            c += values[i + 2];
            d += values[i + 3];
        }

        for (; i < count; ++i)
            a += values[i];

        return (a + b) + (c + d);
    }
} // namespace AstrelDsp

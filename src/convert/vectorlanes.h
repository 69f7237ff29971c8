#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

namespace tunevale {

// Short vectors for the loudness meters' hot loops: a few samples, or a few channels, taken
// through the same steps at once. GCC and Clang lower their vector types to the processor's
// own (SSE, AVX, NEON); other compilers get a plain array with the same operations. Either
// way each lane is computed in the same order with the same roundings as a scalar would be.
#if defined(__GNUC__)
using Float4 = float __attribute__((vector_size(16)));
using Double2 = double __attribute__((vector_size(16)));
#if defined(__x86_64__)
// Only used inside functions built for AVX2. The helpers below are always inlined, so the
// warning that passing it changes the calling convention without AVX does not apply.
using Float8 = float __attribute__((vector_size(32)));
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

template <typename Vector> [[gnu::always_inline]] inline Vector lanesMax(Vector a, Vector b)
{
    return a > b ? a : b;
}

// Loads a vector's worth of consecutive values from any address.
template <typename Vector, typename Value>
[[gnu::always_inline]] inline Vector lanesAt(const Value* values)
{
    Vector vector;
    std::memcpy(&vector, values, sizeof(Vector));
    return vector;
}
#else
template <typename Value, std::size_t Count> struct PlainLanes {
    std::array<Value, Count> lanes{};

    Value operator[](std::size_t lane) const { return lanes[lane]; }
    Value& operator[](std::size_t lane) { return lanes[lane]; }
    friend PlainLanes operator+(PlainLanes a, const PlainLanes& b)
    {
        for (std::size_t lane = 0; lane < Count; ++lane)
            a.lanes[lane] += b.lanes[lane];
        return a;
    }
    friend PlainLanes operator-(PlainLanes a, const PlainLanes& b)
    {
        for (std::size_t lane = 0; lane < Count; ++lane)
            a.lanes[lane] -= b.lanes[lane];
        return a;
    }
    friend PlainLanes operator-(PlainLanes a)
    {
        for (Value& value : a.lanes)
            value = -value;
        return a;
    }
    friend PlainLanes operator*(Value factor, PlainLanes a)
    {
        for (Value& value : a.lanes)
            value *= factor;
        return a;
    }
    friend PlainLanes operator*(PlainLanes a, const PlainLanes& b)
    {
        for (std::size_t lane = 0; lane < Count; ++lane)
            a.lanes[lane] *= b.lanes[lane];
        return a;
    }
    PlainLanes& operator+=(const PlainLanes& other) { return *this = *this + other; }
};
using Float4 = PlainLanes<float, 4>;
using Double2 = PlainLanes<double, 2>;

template <typename Vector> Vector lanesMax(Vector a, const Vector& b)
{
    for (std::size_t lane = 0; lane < a.lanes.size(); ++lane)
        a[lane] = std::max(a[lane], b[lane]);
    return a;
}

template <typename Vector, typename Value> Vector lanesAt(const Value* values)
{
    Vector vector;
    std::copy_n(values, vector.lanes.size(), vector.lanes.begin());
    return vector;
}
#endif

template <typename Vector> constexpr std::size_t laneCount()
{
    return sizeof(Vector) / sizeof(Vector{}[0]);
}

template <typename Vector> [[gnu::always_inline]] inline Vector lanesAbs(Vector a)
{
    return lanesMax(a, -a);
}

template <typename Vector> [[gnu::always_inline]] inline auto highestLane(const Vector& a)
{
    auto highest = a[0];
    for (std::size_t lane = 1; lane < laneCount<Vector>(); ++lane)
        highest = std::max(highest, a[lane]);
    return highest;
}

} // namespace tunevale

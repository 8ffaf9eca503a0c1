#pragma once
// Small helpers shared by the builders: exchange, integer min/max and qsort comparators.

#include "physics/core/dgTypes.h"

template <class T> void dgSwap(T& a, T& b) {
    T t = a;
    a = b;
    b = t;
}

inline dgInt32 dgMaxInt32(dgInt32 a, dgInt32 b) {
    return a > b ? a : b;
}
inline dgInt32 dgMinInt32(dgInt32 a, dgInt32 b) {
    return a < b ? a : b;
}

/// qsort comparator of 32-bit signed keys, ascending: -1, 0 or 1.
int dgCompareInt32Ascending(const void* a, const void* b);
/// qsort comparator of 32-bit signed keys, descending: -1, 0 or 1.
int dgCompareInt32Descending(const void* a, const void* b);

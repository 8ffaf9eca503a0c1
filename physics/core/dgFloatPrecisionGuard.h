#pragma once
// Scope in which floating-point sums need full double precision.

/// Marks the stretches that once raised the x87 precision control to 64 bits and restored it on
/// exit. SSE arithmetic already rounds doubles to double, so there is nothing to save or set; the
/// guard stays at those call sites so the requirement remains visible.
class dgFloatPrecisionGuard {
public:
    dgFloatPrecisionGuard() {}
    ~dgFloatPrecisionGuard() {}
    dgFloatPrecisionGuard(const dgFloatPrecisionGuard&) = delete;
    dgFloatPrecisionGuard& operator=(const dgFloatPrecisionGuard&) = delete;
};

#pragma once
// The packed unit's control and status register, kept for the host around the engine's work.

#include "physics/core/dgTypes.h"

/// Saves the calling thread's MXCSR, sets the given bits for the length of the scope and writes the saved
/// value back, whole, when the scope ends: the host finds its rounding mode, flush-to-zero and
/// denormals-are-zero bits, exception masks and exception flags exactly as it left them. Where there is
/// no packed unit it does nothing.
class dgMxcsrScope {
public:
    /// Denormal results are written as zero of the same sign.
    static constexpr dgUnsigned32 kFlushToZero = 0x8000;

    explicit dgMxcsrScope(dgUnsigned32 setBits = 0);
    ~dgMxcsrScope();
    dgMxcsrScope(const dgMxcsrScope&) = delete;
    dgMxcsrScope& operator=(const dgMxcsrScope&) = delete;

    /// The calling thread's MXCSR; 0 where there is no packed unit.
    static dgUnsigned32 Read();
    static void Write(dgUnsigned32 value);

private:
    dgUnsigned32 m_saved;
};

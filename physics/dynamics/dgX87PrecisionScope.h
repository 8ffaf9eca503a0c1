#pragma once
// Single precision for the dynamics on the x87 unit, without disturbing the host's own setting.

#include "physics/core/dgTypes.h"

/// Saves the calling thread's x87 control word, sets its precision control to 24 bits for the length of
/// the scope and writes the saved word back, whole, when the scope ends: the host finds its precision,
/// rounding and exception masks exactly as it left them. Where there is no x87 unit it does nothing.
class dgX87PrecisionScope {
public:
    /// Precision-control field of the control word and its 24-bit setting.
    static constexpr dgUnsigned16 kPrecisionMask = 0x0300;
    static constexpr dgUnsigned16 kSinglePrecision = 0x0000;

    dgX87PrecisionScope();
    ~dgX87PrecisionScope();
    dgX87PrecisionScope(const dgX87PrecisionScope&) = delete;
    dgX87PrecisionScope& operator=(const dgX87PrecisionScope&) = delete;

    /// The calling thread's x87 control word; 0 where there is no x87 unit.
    static dgUnsigned16 ReadControlWord();
    static void WriteControlWord(dgUnsigned16 word);

private:
    dgUnsigned16 m_saved;
};

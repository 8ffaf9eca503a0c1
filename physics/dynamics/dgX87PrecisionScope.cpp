#include "physics/dynamics/dgX87PrecisionScope.h"

#if defined(__i386__) || defined(__x86_64__)
#include <fpu_control.h>
#define DG_HAS_X87 1
#endif

dgX87PrecisionScope::dgX87PrecisionScope() : m_saved(ReadControlWord()) {
    WriteControlWord(static_cast<dgUnsigned16>((m_saved & ~kPrecisionMask) | kSinglePrecision));
}

dgX87PrecisionScope::~dgX87PrecisionScope() {
    WriteControlWord(m_saved);
}

dgUnsigned16 dgX87PrecisionScope::ReadControlWord() {
#if defined(DG_HAS_X87)
    fpu_control_t word;
    _FPU_GETCW(word);
    return static_cast<dgUnsigned16>(word);
#else
    return 0;
#endif
}

void dgX87PrecisionScope::WriteControlWord([[maybe_unused]] dgUnsigned16 word) {
#if defined(DG_HAS_X87)
    fpu_control_t value = word;
    _FPU_SETCW(value);
#endif
}

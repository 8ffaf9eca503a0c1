#include "physics/dynamics/dgMxcsrScope.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#define DG_HAS_MXCSR 1
#endif

dgMxcsrScope::dgMxcsrScope(dgUnsigned32 setBits) : m_saved(Read()) {
    if (setBits != 0) {
        Write(m_saved | setBits);
    }
}

dgMxcsrScope::~dgMxcsrScope() {
    Write(m_saved);
}

dgUnsigned32 dgMxcsrScope::Read() {
#if defined(DG_HAS_MXCSR)
    return _mm_getcsr();
#else
    return 0;
#endif
}

void dgMxcsrScope::Write([[maybe_unused]] dgUnsigned32 value) {
#if defined(DG_HAS_MXCSR)
    _mm_setcsr(value);
#endif
}

#pragma once
// What the processor can do, asked once when a world is made.

#include "physics/core/dgTypes.h"

/// How dgHasSimdSupport answers: from the processor, or always false so the scalar solver runs.
enum class dgSimdOverride { kProbe, kForceScalar };

/// True when the processor executes packed single-precision (SSE) instructions.
bool dgHasSimdSupport();

/// Engine-internal: makes dgHasSimdSupport answer false (kForceScalar) or probe again (kProbe).
/// Process-wide; tests use it to run the scalar solver build on any machine.
void dgSetSimdOverride(dgSimdOverride mode);

/// An approximation of 1 / sqrt(x) for positive normal x: a bit-trick first guess refined by three
/// Newton steps. Kept for completeness; the engine's own code uses sqrt.
dgFloat32 dgFastInvSqrt(dgFloat32 x);

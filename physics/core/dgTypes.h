#pragma once
// Scalar types and checks shared by every engine class.

#include <cstddef>
#include <cstdint>

using dgInt8 = std::int8_t;
using dgUnsigned8 = std::uint8_t;
using dgInt16 = std::int16_t;
using dgUnsigned16 = std::uint16_t;
using dgInt32 = std::int32_t;
using dgUnsigned32 = std::uint32_t;
using dgInt64 = std::int64_t;
using dgUnsigned64 = std::uint64_t;
using dgFloat32 = float;
using dgFloat64 = double;

[[noreturn]] void dgAssertFailed(const char* expression, const char* file, int line);

// Names the expression without evaluating it, so that a build without the check sees the same uses of
// every name (and warns about no variable that only a check reads).
#define dgUnevaluated(expr) static_cast<void>(sizeof((expr) ? 1 : 0))

// Programmer errors: checked when the build enables asserts, free otherwise.
#if defined(DG_ENABLE_ASSERTS)
#define dgAssert(expr) ((expr) ? static_cast<void>(0) : dgAssertFailed(#expr, __FILE__, __LINE__))
#else
#define dgAssert(expr) dgUnevaluated(expr)
#endif

// Whole-structure consistency checks, too slow for ordinary builds.
#if defined(DG_ENABLE_VALIDATE)
#define dgValidate(expr) dgAssert(expr)
#else
#define dgValidate(expr) dgUnevaluated(expr)
#endif

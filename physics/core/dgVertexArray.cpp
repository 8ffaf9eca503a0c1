#include "physics/core/dgVertexArray.h"

#include "physics/core/dgFloatPrecisionGuard.h"
#include "physics/core/dgMemory.h"
#include "physics/core/dgScratchArray.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

void dgGetVertexArrayBox(dgVector& minOut, dgVector& maxOut, const dgFloat32* vertices, dgInt32 count,
                         dgInt32 strideInBytes) {
    if (count <= 0 || vertices == nullptr || strideInBytes < 0) {
        minOut = dgVector(0.0f, 0.0f, 0.0f, 1.0f);
        maxOut = minOut;
        return;
    }
    const std::ptrdiff_t stride = strideInBytes / 4;
    dgVector lo(vertices);
    dgVector hi(vertices);
    for (dgInt32 i = 1; i < count; i++) {
        const dgFloat32* p = vertices + i * stride;
        for (dgInt32 axis = 0; axis < 3; axis++) {
            // Strict comparisons: a NaN coordinate compares false both ways and is skipped.
            if (p[axis] < lo[axis]) {
                lo[axis] = p[axis];
            }
            if (p[axis] > hi[axis]) {
                hi[axis] = p[axis];
            }
        }
    }
    minOut = lo;
    maxOut = hi;
}

namespace {

// The work table: one row per input vertex, in input order, holding a copy of the vertex's words.
// Rows are visited through an order array sorted along the axis of largest spread.
class WeldTable {
public:
    WeldTable(const dgFloat32* vertices, dgInt32 count, dgInt32 strideWords)
        : m_words(count * strideWords), m_newIndex(count), m_order(count), m_strideWords(strideWords) {
        dgCopyBytes(m_words.GetData(), vertices, m_words.GetSizeInBytes());
        for (dgInt32 i = 0; i < count; i++) {
            m_newIndex[i] = -1;
            m_order[i] = i;
        }
    }

    const dgFloat32* Row(dgInt32 row) const { return m_words.GetData() + row * m_strideWords; }

    dgScratchArray<dgFloat32> m_words;
    dgScratchArray<dgInt32> m_newIndex;
    dgScratchArray<dgInt32> m_order;
    dgInt32 m_strideWords;
};

// y when its spread is at least that of x and z; else z when at least that of x and y; else x.
// Sums run in doubles so that large coordinates keep their precision.
dgInt32 ChooseSortAxis(const WeldTable& table, dgInt32 count) {
    dgFloat64 sum[3] = {0.0, 0.0, 0.0};
    dgFloat64 sumSq[3] = {0.0, 0.0, 0.0};
    for (dgInt32 row = 0; row < count; row++) {
        const dgFloat32* p = table.Row(row);
        for (dgInt32 axis = 0; axis < 3; axis++) {
            const dgFloat64 v = p[axis];
            sum[axis] += v;
            sumSq[axis] += v * v;
        }
    }
    dgFloat64 spread[3];
    for (dgInt32 axis = 0; axis < 3; axis++) {
        spread[axis] = count * sumSq[axis] - sum[axis] * sum[axis];
    }
    if (spread[1] >= spread[0] && spread[1] >= spread[2]) {
        return 1;
    }
    if (spread[2] >= spread[0] && spread[2] >= spread[1]) {
        return 2;
    }
    return 0;
}

bool SameVertex(const dgFloat32* a, const dgFloat32* b, dgInt32 fuzzyWords, dgInt32 exactWords,
                dgFloat64 window) {
    for (dgInt32 i = 0; i < fuzzyWords; i++) {
        if (!(std::fabs(static_cast<dgFloat64>(a[i]) - static_cast<dgFloat64>(b[i])) < window)) {
            return false;
        }
    }
    return std::memcmp(a + fuzzyWords, b + fuzzyWords, sizeof(dgFloat32) * exactWords) == 0;
}

} // namespace

dgInt32 dgWeldVertexList(dgFloat32* vertices, dgInt32 strideInBytes, dgInt32 fuzzyBytes, dgInt32 exactBytes,
                         dgInt32 count, dgInt32* indexMap, dgFloat32 tolerance) {
    if (vertices == nullptr || indexMap == nullptr || count < 1 || strideInBytes < 12 ||
        strideInBytes % 4 != 0 || fuzzyBytes < 0 || exactBytes < 0 || fuzzyBytes + exactBytes < 12 ||
        fuzzyBytes + exactBytes > strideInBytes || count > INT32_MAX / (strideInBytes / 4)) {
        return 0;
    }
    dgFloatPrecisionGuard precision;
    const dgInt32 strideWords = strideInBytes / 4;
    const dgInt32 fuzzyWords = fuzzyBytes / 4;
    const dgInt32 exactWords = exactBytes / 4;
    const dgFloat64 window = static_cast<dgFloat64>(tolerance + 0.0001f);

    WeldTable table(vertices, count, strideWords);
    const dgInt32 axis = ChooseSortAxis(table, count);

    // Ascending along the axis, NaNs last, ties by input position: the same input welds the same way
    // on every run, and the order is strict even for values that do not compare.
    dgInt32* order = table.m_order.GetData();
    std::sort(order, order + count, [&table, axis](dgInt32 a, dgInt32 b) {
        const dgFloat32 va = table.Row(a)[axis];
        const dgFloat32 vb = table.Row(b)[axis];
        const bool nanA = std::isnan(va);
        const bool nanB = std::isnan(vb);
        if (nanA != nanB) {
            return nanB;
        }
        if (!nanA && va != vb) {
            return va < vb;
        }
        return a < b;
    });

    // Each unseen row starts a unique vertex and claims the same vertices inside its window along the
    // axis. The window bound is a double: in floats, value + 0.0003 stops growing at large coordinates
    // and exact duplicates would fall outside it.
    dgScratchArray<dgInt32> uniqueRow(count);
    dgInt32 unique = 0;
    for (dgInt32 i = 0; i < count; i++) {
        const dgInt32 row = order[i];
        if (table.m_newIndex[row] != -1) {
            continue;
        }
        const dgFloat32* p = table.Row(row);
        const dgFloat64 bound = static_cast<dgFloat64>(p[axis]) + window + window + 0.0001;
        for (dgInt32 j = i + 1; j < count && static_cast<dgFloat64>(table.Row(order[j])[axis]) < bound; j++) {
            const dgInt32 other = order[j];
            if (table.m_newIndex[other] == -1 &&
                SameVertex(p, table.Row(other), fuzzyWords, exactWords, window)) {
                table.m_newIndex[other] = unique;
            }
        }
        table.m_newIndex[row] = unique;
        uniqueRow[unique] = row;
        unique++;
    }

    for (dgInt32 u = 0; u < unique; u++) {
        dgCopyBytes(vertices + static_cast<std::ptrdiff_t>(u) * strideWords, table.Row(uniqueRow[u]),
                    sizeof(dgFloat32) * strideWords);
    }
    for (dgInt32 row = 0; row < count; row++) {
        indexMap[row] = table.m_newIndex[row];
    }
    return unique;
}

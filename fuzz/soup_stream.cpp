// The polygon soup's stream reader from arbitrary bytes. A stream it accepts must be safe to query:
// every face handed to a callback lies inside the arrays, both walks end, and writing the database
// again gives back exactly the bytes that were read. The seed corpus holds streams the engine wrote.

#include "FuzzByteReader.h"
#include "physics/collision/dgDoublePlaneBSPPolygonSoup.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using fuzz_support::Check;
using Reader = fuzz_support::ByteReader;

void Write(void* userData, const void* buffer, dgInt32 byteCount) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(userData);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    out->insert(out->end(), bytes, bytes + byteCount);
}

struct Query {
    const dgDoublePlaneBSPPolygonSoup* m_soup;
    dgInt32 m_faces;
};

// Touches every word of the face so that a face outside the arrays cannot go unnoticed.
dgInt32 Visit(void* context, const dgFloat32* vertices, dgInt32 strideBytes, const dgInt32* indices, dgInt32 count) {
    auto* query = static_cast<Query*>(context);
    const dgDoublePlaneBSPPolygonSoup& soup = *query->m_soup;
    Check(strideBytes == 12 && vertices == soup.GetVertices() && count >= 3 && count <= 127);
    Check(indices - 3 >= soup.GetIndices() && indices + count <= soup.GetIndices() + soup.GetIndexCount());
    for (dgInt32 i = -3; i < count; i++) {
        if (i != -1) {
            Check(indices[i] >= 0 && indices[i] < soup.GetVertexCount());
            Check(std::isfinite(vertices[3 * indices[i]]));
        }
    }
    query->m_faces++;
    return query->m_faces < 100000 ? 1 : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto* soup = new dgDoublePlaneBSPPolygonSoup();
    Reader reader{data, size, 0};
    if (soup->Deserialize(Reader::Read, &reader)) {
        std::vector<std::uint8_t> written;
        soup->Serialize(Write, &written);
        Check(written.size() == reader.m_at && std::memcmp(written.data(), data, written.size()) == 0);

        dgVector lo;
        dgVector hi;
        soup->GetAABB(lo, hi);
        const dgVector mid = lo.Add(hi).Scale(0.5f);
        Query query{soup, 0};
        soup->ForEachPolygonInBox(lo, hi, Visit, &query);
        soup->ForEachPolygonInBox(lo, mid, Visit, &query);
        soup->ForEachPolygonInBox(dgVector(-1e30f, -1e30f, -1e30f, 0.0f), dgVector(1e30f, 1e30f, 1e30f, 0.0f), Visit,
                                  &query);
        soup->ForEachPolygonOnRay(lo, hi, Visit, &query);
        soup->ForEachPolygonOnRay(dgVector(mid.x, hi.y + 1.0f, mid.z, 0.0f), dgVector(mid.x, lo.y - 1.0f, mid.z, 0.0f),
                                  Visit, &query);
        SoupRayCastClosest(*soup, lo, hi);
    } else {
        Check(soup->GetNodes() == nullptr && soup->GetVertexCount() == 0 && soup->GetIndexCount() == 0);
    }
    dgRefRelease(soup);
    return 0;
}

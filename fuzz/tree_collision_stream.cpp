// A tree collision read from arbitrary bytes, then collided with: a stream the reader accepts must give a
// shape whose contact roads (spheres, boxes, discrete and continuous), ray cast and display stay inside
// its arrays and the callers' buffers. The seeds are engine-written streams.

#include "FuzzByteReader.h"
#include "physics/collision/dgCollisionBox.h"
#include "physics/collision/dgCollisionPolygonalSoup.h"
#include "physics/collision/dgCollisionSphere.h"
#include "physics/collision/dgContactPoint.h"
#include "physics/collision/dgConvexSoupContacts.h"
#include "physics/dynamics/dgBody.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

using fuzz_support::Check;
using Reader = fuzz_support::ByteReader;

// Reads every shown point so that a face outside the arrays cannot go unnoticed.
void ShowFace(dgBody*, dgInt32 count, const dgFloat32* points, dgInt32) {
    Check(count >= 3 && count <= 127);
    volatile dgFloat32 sum = 0.0f;
    for (dgInt32 i = 0; i < 3 * count; i++) {
        sum = sum + points[i];
    }
}

void CheckContacts(dgInt32 count, const dgContactPoint* contacts, dgInt32 capacity) {
    Check(count >= 0 && count <= capacity);
    for (dgInt32 i = 0; i < count; i++) {
        // Absurd coordinates may overflow to NaN; a negative depth is a fault.
        Check(!(contacts[i].m_penetration < 0.0f));
    }
}

// Every placement of the probe: its centre at a point of the soup's box, at rest and falling fast.
void Probe(dgBody& probe, dgBody& soup, const dgVector& centre) {
    constexpr dgInt32 kCapacity = 32;
    dgContactPoint contacts[kCapacity + 1];
    probe.m_matrix.posit = dgVector(centre.x, centre.y, centre.z, 1.0f);
    probe.m_collisionMatrix = probe.m_matrix;
    for (const dgInt32 capacity : {kCapacity, 3}) {
        probe.m_flags = 0;
        probe.m_veloc = dgVector();
        dgFloat32 time = 1.0f / 60.0f;
        CheckContacts(ConvexSoupContacts(&time, &probe, &soup, contacts, capacity), contacts, capacity);
        probe.m_flags = dgBody::kContinuousCollision;
        probe.m_veloc = dgVector(3.0f, -400.0f, 1.0f, 0.0f);
        time = 1.0f / 60.0f;
        CheckContacts(ConvexSoupContacts(&time, &probe, &soup, contacts, capacity), contacts, capacity);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader reader{data, size, 0};
    dgCollisionPolygonalSoup* shape =
        dgCollisionPolygonalSoup::CreateTreeCollisionFromStream(nullptr, nullptr, Reader::Read, &reader);
    if (shape == nullptr) {
        return 0;
    }
    dgBody soup;
    soup.m_collision = shape;
    soup.m_matrix = dgGetIdentityMatrix();
    soup.m_collisionMatrix = soup.m_matrix;
    shape->ForEachDisplayFace(soup.m_matrix, &soup, ShowFace);

    const dgVector lo = shape->GetBoxMin();
    const dgVector hi = shape->GetBoxMax();
    const dgVector mid = lo.Add(hi).Scale(0.5f);
    dgContactPoint hit;
    const dgFloat32 t = shape->RayCast(dgVector(mid.x, hi.y + 1.0f, mid.z, 1.0f), dgVector(mid.x, lo.y - 1.0f, mid.z, 1.0f),
                                       hit, nullptr, nullptr, nullptr);
    Check(!(t < 0.0f));

    auto* box = new dgCollisionBox(0u, 1.0f, 0.5f, 2.0f, dgGetIdentityMatrix());
    auto* ball = new dgCollisionSphere(0u, 0.75f, dgGetIdentityMatrix());
    for (dgCollision* probeShape : {static_cast<dgCollision*>(box), static_cast<dgCollision*>(ball)}) {
        dgBody probe;
        probe.m_collision = probeShape;
        probe.m_matrix = dgGetIdentityMatrix();
        for (const dgVector& centre : {mid, lo, hi, dgVector(lo.x, mid.y, hi.z, 1.0f)}) {
            Probe(probe, soup, centre);
        }
    }
    dgRefRelease(box);
    dgRefRelease(ball);
    dgRefRelease(shape);
    return 0;
}

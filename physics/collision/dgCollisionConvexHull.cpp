#include "physics/collision/dgCollisionConvexHull.h"

#include "physics/collision/dgSearchDirections.h"
#include "physics/core/dgClassIds.h"
#include "physics/core/dgMemory.h"
#include "physics/core/dgVertexArray.h"

#include <cmath>
#include <limits>
#include <cstdint>
#include <new>
#include <unordered_map>
#include <vector>

namespace {

constexpr dgFloat32 kQuantum = 2048.0f;

struct Vec3d {
    double x, y, z;
};

Vec3d ToDouble(const dgVector& v) {
    return {v.x, v.y, v.z};
}
Vec3d Sub(const Vec3d& a, const Vec3d& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3d Cross(const Vec3d& a, const Vec3d& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Dot(const Vec3d& a, const Vec3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Index of the candidate farthest along dir; ties go to the lower index, -1 when there are none.
dgInt32 Support(const std::vector<dgVector>& candidates, const Vec3d& dir) {
    dgInt32 best = -1;
    double bestDot = -std::numeric_limits<double>::infinity();
    for (dgInt32 i = 0; i < static_cast<dgInt32>(candidates.size()); i++) {
        const double dot = Dot(ToDouble(candidates[i]), dir);
        if (dot > bestDot) {
            bestDot = dot;
            best = i;
        }
    }
    return best;
}

dgVector TakeCandidate(std::vector<dgVector>& candidates, dgInt32 index) {
    const dgVector p = candidates[index];
    candidates[index] = candidates.back();
    candidates.pop_back();
    return p;
}

std::uint64_t EdgeKey(dgInt32 origin, dgInt32 destination) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(origin)) << 32) |
           static_cast<std::uint32_t>(destination);
}

constexpr dgFloat32 kWeldTolerance = dgCollisionConvexHull::kWeldTolerance;
constexpr dgFloat32 kFlatness = dgCollisionConvexHull::kFlatness;

// Triangle mesh of the growing hull; faces are never reused, dead ones are skipped.
class HullBuilder {
public:
    struct Face {
        dgInt32 m_v[3];
        bool m_alive;
    };

    std::vector<dgVector> m_points;
    std::vector<Face> m_faces;
    std::unordered_map<std::uint64_t, dgInt32> m_edgeFace;
    bool m_broken = false;

    Vec3d Normal(dgInt32 face) const {
        const Face& f = m_faces[face];
        const Vec3d a = ToDouble(m_points[f.m_v[0]]);
        return Cross(Sub(ToDouble(m_points[f.m_v[1]]), a), Sub(ToDouble(m_points[f.m_v[2]]), a));
    }

    dgInt32 AddFace(dgInt32 a, dgInt32 b, dgInt32 c) {
        const dgInt32 index = static_cast<dgInt32>(m_faces.size());
        m_faces.push_back({{a, b, c}, true});
        const dgInt32 v[3] = {a, b, c};
        for (dgInt32 k = 0; k < 3; k++) {
            if (!m_edgeFace.emplace(EdgeKey(v[k], v[(k + 1) % 3]), index).second) {
                m_broken = true;
            }
        }
        return index;
    }

    void KillFace(dgInt32 face) {
        Face& f = m_faces[face];
        f.m_alive = false;
        for (dgInt32 k = 0; k < 3; k++) {
            m_edgeFace.erase(EdgeKey(f.m_v[k], f.m_v[(k + 1) % 3]));
        }
    }

    dgInt32 TwinFace(dgInt32 origin, dgInt32 destination) const {
        const auto it = m_edgeFace.find(EdgeKey(destination, origin));
        return it == m_edgeFace.end() ? -1 : it->second;
    }

    bool Visible(dgInt32 face, const Vec3d& p) const {
        const Face& f = m_faces[face];
        const Vec3d a = ToDouble(m_points[f.m_v[0]]);
        return Dot(Sub(p, a), Normal(face)) > 0.0;
    }

    // The seed's four faces, open to growth; the candidates strictly inside the seed are dropped.
    void StartFromSeed(const dgVector seed[4], std::vector<dgVector>& candidates,
                       std::vector<dgInt32>& open) {
        m_points.assign(seed, seed + 4);
        open.push_back(AddFace(0, 1, 2));
        open.push_back(AddFace(0, 2, 3));
        open.push_back(AddFace(2, 1, 3));
        open.push_back(AddFace(1, 0, 3));
        for (std::size_t i = 0; i < candidates.size();) {
            const Vec3d p = ToDouble(candidates[i]);
            bool inside = true;
            for (dgInt32 face = 0; face < 4 && inside; face++) {
                const Vec3d a = ToDouble(m_points[m_faces[face].m_v[0]]);
                inside = Dot(Sub(p, a), Normal(face)) < -kWeldTolerance;
            }
            if (inside) {
                TakeCandidate(candidates, static_cast<dgInt32>(i));
            } else {
                i++;
            }
        }
    }

    // Grows each open face to its farthest candidate until none stands above a face by more than the
    // flatness. False when the mesh broke (an edge used twice the same way).
    bool Grow(std::vector<dgVector>& candidates, std::vector<dgInt32>& open) {
        std::vector<dgInt32> stack;
        std::vector<dgInt32> visible;
        std::vector<std::uint8_t> flags;
        while (!open.empty() && !m_broken) {
            const dgInt32 face = open.back();
            open.pop_back();
            if (!m_faces[face].m_alive) {
                continue;
            }
            Vec3d n = Normal(face);
            const double inv = 1.0 / std::sqrt(Dot(n, n) + 1.0e-16);
            n = {n.x * inv, n.y * inv, n.z * inv};
            const dgInt32 best = Support(candidates, n);
            if (best < 0) {
                continue;
            }
            const Vec3d a = ToDouble(m_points[m_faces[face].m_v[0]]);
            if (Dot(Sub(ToDouble(candidates[best]), a), n) <= kFlatness) {
                continue;
            }
            AddPoint(face, TakeCandidate(candidates, best), open, stack, visible, flags);
        }
        return !m_broken;
    }

    // Replaces the faces visible from the new point (flooded from start) by a fan of triangles to it.
    void AddPoint(dgInt32 start, const dgVector& point, std::vector<dgInt32>& open,
                  std::vector<dgInt32>& stack, std::vector<dgInt32>& visible,
                  std::vector<std::uint8_t>& flags) {
        const dgInt32 pointIndex = static_cast<dgInt32>(m_points.size());
        m_points.push_back(point);
        const Vec3d p = ToDouble(point);
        flags.resize(m_faces.size(), 0);
        visible.clear();
        stack.clear();
        stack.push_back(start);
        flags[start] = 1;
        while (!stack.empty()) {
            const dgInt32 face = stack.back();
            stack.pop_back();
            visible.push_back(face);
            const Face& f = m_faces[face];
            for (dgInt32 k = 0; k < 3; k++) {
                const dgInt32 twin = TwinFace(f.m_v[k], f.m_v[(k + 1) % 3]);
                if (twin >= 0 && !flags[twin] && Visible(twin, p)) {
                    flags[twin] = 1;
                    stack.push_back(twin);
                }
            }
        }
        std::vector<std::uint64_t> horizon;
        for (const dgInt32 face : visible) {
            const Face& f = m_faces[face];
            for (dgInt32 k = 0; k < 3; k++) {
                const dgInt32 twin = TwinFace(f.m_v[k], f.m_v[(k + 1) % 3]);
                if (twin < 0 || !flags[twin]) {
                    horizon.push_back(EdgeKey(f.m_v[k], f.m_v[(k + 1) % 3]));
                }
            }
        }
        for (const dgInt32 face : visible) {
            KillFace(face);
            flags[face] = 0;
        }
        for (const std::uint64_t key : horizon) {
            const dgInt32 a = static_cast<dgInt32>(key >> 32);
            const dgInt32 b = static_cast<dgInt32>(key & 0xFFFFFFFFu);
            open.push_back(AddFace(a, b, pointIndex));
        }
    }
};

/// Where the quantised cloud sits: points were moved by -m_centre and scaled by m_scale per axis.
struct HullFrame {
    dgVector m_centre;
    dgFloat32 m_scale[3];

    dgVector ToCloud(const dgVector& q) const {
        return dgVector(m_centre.x + q.x / m_scale[0], m_centre.y + q.y / m_scale[1],
                        m_centre.z + q.z / m_scale[2], 1.0f);
    }
};

// Points that are not finite cannot lie on a hull; they are left out.
std::vector<dgVector> FinitePoints(const dgFloat32* points, dgInt32 pointCount, dgInt32 strideFloats) {
    std::vector<dgVector> candidates;
    candidates.reserve(static_cast<std::size_t>(pointCount));
    for (dgInt32 i = 0; i < pointCount; i++) {
        const dgFloat32* p = points + static_cast<std::ptrdiff_t>(i) * strideFloats;
        if (std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2])) {
            candidates.emplace_back(p[0], p[1], p[2], 0.0f);
        }
    }
    return candidates;
}

// Centres the cloud on its box, scales small axes up and large ones down to 128, snaps the points to a grid
// of 1/kQuantum and welds them. False when the cloud's extent overflows or fewer than four points stay.
bool QuantiseAndWeld(std::vector<dgVector>& candidates, HullFrame& frame) {
    dgVector boxMin;
    dgVector boxMax;
    dgGetVertexArrayBox(boxMin, boxMax, &candidates[0].x, static_cast<dgInt32>(candidates.size()),
                        sizeof(dgVector));
    const dgVector centre = boxMin.Add(boxMax).Scale(0.5f);
    const dgVector half = boxMax.Sub(boxMin).Scale(0.5f);
    // A cloud spanning more than the float range has no meaningful hull (its extent overflows).
    for (dgInt32 i = 0; i < 3; i++) {
        if (!std::isfinite((&half.x)[i]) || !std::isfinite((&centre.x)[i])) {
            return false;
        }
    }
    frame.m_centre = centre;
    for (dgInt32 i = 0; i < 3; i++) {
        const dgFloat32 h = (&half.x)[i];
        frame.m_scale[i] = h < 1.0f ? 1.0f / (h + 1.0e-6f) : (h > 128.0f ? 128.0f / h : h);
    }
    for (dgVector& q : candidates) {
        for (dgInt32 i = 0; i < 3; i++) {
            const dgFloat32 value = ((&q.x)[i] - (&centre.x)[i]) * frame.m_scale[i];
            (&q.x)[i] = std::floor(value * kQuantum) * (1.0f / kQuantum);
        }
        q.w = 0.0f;
    }
    std::vector<dgInt32> indexMap(candidates.size());
    const dgInt32 distinct =
        dgWeldVertexList(&candidates[0].x, sizeof(dgVector), 12, 0, static_cast<dgInt32>(candidates.size()),
                         indexMap.data(), kWeldTolerance);
    if (distinct < 4) {
        return false;
    }
    candidates.resize(static_cast<std::size_t>(distinct));
    return true;
}

// Four points that span space, taken out of the candidates along the search directions without going
// back, ordered so the seed's faces point out. False when the cloud is flat.
bool FindSeedTetrahedron(std::vector<dgVector>& candidates, dgVector seed[4]) {
    dgInt32 row = 0;
    seed[0] = TakeCandidate(candidates, Support(candidates, ToDouble(kSearchDirections[row])));
    bool found = false;
    for (row++; row < kSearchDirectionCount && !found; row++) {
        const dgInt32 index = Support(candidates, ToDouble(kSearchDirections[row]));
        const Vec3d e = Sub(ToDouble(candidates[index]), ToDouble(seed[0]));
        if (Dot(e, e) > kWeldTolerance) {
            seed[1] = TakeCandidate(candidates, index);
            found = true;
        }
    }
    if (!found) {
        return false;
    }
    const Vec3d e1 = Sub(ToDouble(seed[1]), ToDouble(seed[0]));
    Vec3d normal = {0.0, 0.0, 0.0};
    found = false;
    for (; row < kSearchDirectionCount && !found; row++) {
        const dgInt32 index = Support(candidates, ToDouble(kSearchDirections[row]));
        normal = Cross(e1, Sub(ToDouble(candidates[index]), ToDouble(seed[0])));
        if (Dot(normal, normal) > kWeldTolerance) {
            seed[2] = TakeCandidate(candidates, index);
            found = true;
        }
    }
    if (!found) {
        return false;
    }
    found = false;
    for (; row < kSearchDirectionCount && !found; row++) {
        const dgInt32 index = Support(candidates, ToDouble(kSearchDirections[row]));
        const double height = Dot(Sub(ToDouble(candidates[index]), ToDouble(seed[0])), normal);
        if (std::fabs(height) > kWeldTolerance) {
            seed[3] = TakeCandidate(candidates, index);
            if (height > 0.0) {
                std::swap(seed[0], seed[1]);
            }
            found = true;
        }
    }
    return found;
}

/// The finished hull as the convex base holds it: vertices in the cloud's frame, three half-edges per face.
struct HullMesh {
    dgVector* m_vertices = nullptr;         ///< from dgMalloc: handed to the convex base, or freed
    dgConvexSimplexEdge* m_edges = nullptr; ///< from dgMalloc, likewise
    dgInt32 m_vertexCount = 0;
    dgInt32 m_faceCount = 0;
    bool m_closed = true; ///< every half-edge found its twin
};

// Numbers the vertices that the live faces use and writes one record per half-edge, three per face.
// False, with nothing allocated, when the hull has more edges than a convex shape may hold.
bool ExportMesh(const HullBuilder& hull, const HullFrame& frame, HullMesh& mesh) {
    std::vector<dgInt32> vertexNumber(hull.m_points.size(), -1);
    std::vector<dgInt32> faces;
    dgInt32 vertexCount = 0;
    for (dgInt32 f = 0; f < static_cast<dgInt32>(hull.m_faces.size()); f++) {
        if (!hull.m_faces[f].m_alive) {
            continue;
        }
        faces.push_back(f);
        for (const dgInt32 v : hull.m_faces[f].m_v) {
            if (vertexNumber[v] < 0) {
                vertexNumber[v] = vertexCount++;
            }
        }
    }
    const dgInt32 faceCount = static_cast<dgInt32>(faces.size());
    const dgInt32 edgeCount = 3 * faceCount;
    if (edgeCount > dgConvexCollision::kMaxEdgeCount) {
        return false;
    }
    std::vector<dgInt32> faceSlot(hull.m_faces.size(), -1);
    for (dgInt32 i = 0; i < faceCount; i++) {
        faceSlot[faces[i]] = i;
    }
    auto* vertices =
        static_cast<dgVector*>(dgMalloc(sizeof(dgVector) * static_cast<std::size_t>(vertexCount)));
    dgConvexSimplexEdge* edges;
    try {
        edges = static_cast<dgConvexSimplexEdge*>(
            dgMalloc(sizeof(dgConvexSimplexEdge) * static_cast<std::size_t>(edgeCount)));
    } catch (const dgMemoryExhausted&) {
        dgFree(vertices);
        throw;
    }
    for (dgInt32 v = 0; v < static_cast<dgInt32>(hull.m_points.size()); v++) {
        if (vertexNumber[v] >= 0) {
            const dgVector& q = hull.m_points[v];
            new (&vertices[vertexNumber[v]]) dgVector(frame.ToCloud(q));
        }
    }
    for (dgInt32 i = 0; i < faceCount; i++) {
        const HullBuilder::Face& f = hull.m_faces[faces[i]];
        for (dgInt32 k = 0; k < 3; k++) {
            dgConvexSimplexEdge* edge = new (&edges[3 * i + k]) dgConvexSimplexEdge();
            edge->m_vertex = vertexNumber[f.m_v[k]];
            edge->m_next = &edges[3 * i + (k + 1) % 3];
            edge->m_prev = &edges[3 * i + (k + 2) % 3];
            const dgInt32 twinFace = hull.TwinFace(f.m_v[k], f.m_v[(k + 1) % 3]);
            if (twinFace < 0 || faceSlot[twinFace] < 0) {
                mesh.m_closed = false;
                continue;
            }
            const HullBuilder::Face& g = hull.m_faces[twinFace];
            const dgInt32 twinK =
                g.m_v[0] == f.m_v[(k + 1) % 3] ? 0 : (g.m_v[1] == f.m_v[(k + 1) % 3] ? 1 : 2);
            edge->m_twin = &edges[3 * faceSlot[twinFace] + twinK];
        }
    }
    mesh.m_vertices = vertices;
    mesh.m_edges = edges;
    mesh.m_vertexCount = vertexCount;
    mesh.m_faceCount = faceCount;
    return true;
}

} // namespace

dgCollisionConvexHull::dgCollisionConvexHull(dgUnsigned32 signature, dgInt32 pointCount,
                                             dgInt32 strideInBytes, const dgFloat32* points,
                                             const dgMatrix& offset)
    : dgConvexCollision(signature, offset, kConvexHullCollision), m_faceCount(0), m_faceArray(nullptr) {
    Build(pointCount, strideInBytes, points);
}

dgCollisionConvexHull::~dgCollisionConvexHull() {
    dgFree(m_faceArray);
}

dgUnsigned32 dgCollisionConvexHull::GetTypeId() const {
    return dgCollisionConvexHullClassId;
}

bool dgCollisionConvexHull::IsType(dgUnsigned32 typeId) const {
    return typeId == dgCollisionConvexHullClassId || dgConvexCollision::IsType(typeId);
}

void dgCollisionConvexHull::SetCollisionBBox(const dgVector&, const dgVector&) {}

dgUnsigned32 dgCollisionConvexHull::CalcSignature() const {
    return GetSignature();
}

void dgCollisionConvexHull::Build(dgInt32 pointCount, dgInt32 strideInBytes, const dgFloat32* points) {
    const dgInt32 stride = (strideInBytes / 4) * 4;
    if (points == nullptr || pointCount < 4 || stride < 12) {
        return;
    }
    std::vector<dgVector> candidates = FinitePoints(points, pointCount, stride / 4);
    HullFrame frame;
    dgVector seed[4];
    if (candidates.size() < 4 || !QuantiseAndWeld(candidates, frame) ||
        !FindSeedTetrahedron(candidates, seed)) {
        return;
    }
    HullBuilder hull;
    std::vector<dgInt32> open;
    hull.StartFromSeed(seed, candidates, open);
    HullMesh mesh;
    if (!hull.Grow(candidates, open) || !ExportMesh(hull, frame, mesh)) {
        return;
    }
    // A mesh that failed to close would send the support walk off the array; the shape stays empty.
    if (!mesh.m_closed ||
        !SetPolyhedron(mesh.m_vertices, mesh.m_vertexCount, mesh.m_edges, 3 * mesh.m_faceCount)) {
        dgFree(mesh.m_vertices);
        dgFree(mesh.m_edges);
        return;
    }
    SetVolumeAndCentre();
    m_faceArray = static_cast<const dgConvexSimplexEdge**>(
        dgMalloc(sizeof(dgConvexSimplexEdge*) * static_cast<std::size_t>(mesh.m_faceCount)));
    for (dgInt32 i = 0; i < mesh.m_faceCount; i++) {
        m_faceArray[i] = &mesh.m_edges[3 * i];
    }
    m_faceCount = mesh.m_faceCount;
}

void dgCollisionConvexHull::ForEachDisplayFace(const dgMatrix& bodyMatrix, dgBody* body,
                                               dgCollisionFaceCallback callback) const {
    const dgInt32 count = GetVertexCount();
    if (count == 0) {
        return;
    }
    const dgMatrix matrix = GetOffsetMatrix().Multiply(bodyMatrix);
    std::vector<dgFloat32> global(static_cast<std::size_t>(3 * count));
    matrix.TransformPointArray(global.data(), 3 * sizeof(dgFloat32), &GetVertices()[0].x, sizeof(dgVector),
                               count);
    for (dgInt32 i = 0; i < m_faceCount; i++) {
        const dgConvexSimplexEdge* edge = m_faceArray[i];
        const dgInt32 order[3] = {edge->m_prev->m_vertex, edge->m_vertex, edge->m_next->m_vertex};
        dgFloat32 triangle[9];
        for (dgInt32 k = 0; k < 3; k++) {
            for (dgInt32 c = 0; c < 3; c++) {
                triangle[3 * k + c] = global[static_cast<std::size_t>(3 * order[k] + c)];
            }
        }
        callback(body, 3, triangle, 0);
    }
}

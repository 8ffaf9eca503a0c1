#include "PeerMeasure.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <set>
#include <utility>

namespace {

struct Vec3 {
    double x, y, z;
};

Vec3 Sub(const Vec3& a, const Vec3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 Add(const Vec3& a, const Vec3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 Scale(const Vec3& a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
double Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Length(const Vec3& a) {
    return std::sqrt(Dot(a, a));
}

Vec3 FromFloats(const float v[3]) {
    return {v[0], v[1], v[2]};
}

/// A placed shape in doubles: centre, axes, half extents (a sphere keeps its radius in half[0]).
struct Solid {
    SceneShape shape;
    Vec3 centre;
    Vec3 axes[3];
    double half[3];
    double lo[3], hi[3]; ///< world box
};

Solid MakeSolid(const SceneBody& body, const ScenePose& pose) {
    Solid solid{};
    solid.shape = body.shape;
    solid.centre = FromFloats(pose.position);
    for (int i = 0; i < 3; i++) {
        solid.axes[i] = FromFloats(pose.axes[i]);
        solid.half[i] = body.shape == SceneShape::kBox ? 0.5 * body.size[i] : body.size[0];
    }
    const double c[3] = {solid.centre.x, solid.centre.y, solid.centre.z};
    for (int j = 0; j < 3; j++) {
        double reach = solid.half[0];
        if (body.shape == SceneShape::kBox) {
            reach = 0.0;
            for (int i = 0; i < 3; i++) {
                const double a[3] = {solid.axes[i].x, solid.axes[i].y, solid.axes[i].z};
                reach += solid.half[i] * std::fabs(a[j]);
            }
        }
        solid.lo[j] = c[j] - reach;
        solid.hi[j] = c[j] + reach;
    }
    return solid;
}

/// Least overlap over the separating axes of two boxes (face normals and edge crosses); 0 when one
/// separates them. For convex polyhedra that least overlap is the penetration depth.
double BoxBoxDepth(const Solid& a, const Solid& b) {
    const Vec3 d = Sub(b.centre, a.centre);
    double depth = 1e30;
    auto test = [&](Vec3 axis) {
        const double length = Length(axis);
        if (length < 1e-9) {
            return true; // parallel edges: the face axes cover the pair
        }
        axis = Scale(axis, 1.0 / length);
        double reach = std::fabs(Dot(d, axis)) * -1.0;
        for (int i = 0; i < 3; i++) {
            reach +=
                a.half[i] * std::fabs(Dot(a.axes[i], axis)) + b.half[i] * std::fabs(Dot(b.axes[i], axis));
        }
        depth = std::min(depth, reach);
        return reach > 0.0;
    };
    for (int i = 0; i < 3; i++) {
        if (!test(a.axes[i]) || !test(b.axes[i])) {
            return 0.0;
        }
    }
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            if (!test(Cross(a.axes[i], b.axes[j]))) {
                return 0.0;
            }
        }
    }
    return depth;
}

/// Depth of a point inside a box (distance to the nearest face), or a negative value outside.
double PointInBoxDepth(const Solid& box, const Vec3& point) {
    const Vec3 d = Sub(point, box.centre);
    double depth = 1e30;
    for (int i = 0; i < 3; i++) {
        depth = std::min(depth, box.half[i] - std::fabs(Dot(d, box.axes[i])));
    }
    return depth;
}

double SphereBoxDepth(const Solid& sphere, const Solid& box) {
    const Vec3 d = Sub(sphere.centre, box.centre);
    const double inside = PointInBoxDepth(box, sphere.centre);
    if (inside >= 0.0) {
        return sphere.half[0] + inside;
    }
    Vec3 offset{0.0, 0.0, 0.0};
    for (int i = 0; i < 3; i++) {
        const double t = Dot(d, box.axes[i]);
        const double clamped = std::clamp(t, -box.half[i], box.half[i]);
        offset = Add(offset, Scale(box.axes[i], t - clamped));
    }
    return std::max(0.0, sphere.half[0] - Length(offset));
}

double PairDepth(const Solid& a, const Solid& b) {
    if (a.shape == SceneShape::kBox && b.shape == SceneShape::kBox) {
        return BoxBoxDepth(a, b);
    }
    if (a.shape == SceneShape::kSphere && b.shape == SceneShape::kSphere) {
        return std::max(0.0, a.half[0] + b.half[0] - Length(Sub(a.centre, b.centre)));
    }
    return a.shape == SceneShape::kSphere ? SphereBoxDepth(a, b) : SphereBoxDepth(b, a);
}

/// Closest point of triangle abc to p (Ericson's region walk).
Vec3 ClosestOnTriangle(const Vec3& p, const Vec3& a, const Vec3& b, const Vec3& c) {
    const Vec3 ab = Sub(b, a), ac = Sub(c, a), ap = Sub(p, a);
    const double d1 = Dot(ab, ap), d2 = Dot(ac, ap);
    if (d1 <= 0.0 && d2 <= 0.0) {
        return a;
    }
    const Vec3 bp = Sub(p, b);
    const double d3 = Dot(ab, bp), d4 = Dot(ac, bp);
    if (d3 >= 0.0 && d4 <= d3) {
        return b;
    }
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0 && d1 >= 0.0 && d3 <= 0.0) {
        return Add(a, Scale(ab, d1 / (d1 - d3)));
    }
    const Vec3 cp = Sub(p, c);
    const double d5 = Dot(ab, cp), d6 = Dot(ac, cp);
    if (d6 >= 0.0 && d5 <= d6) {
        return c;
    }
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0 && d2 >= 0.0 && d6 <= 0.0) {
        return Add(a, Scale(ac, d2 / (d2 - d6)));
    }
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0.0 && (d4 - d3) >= 0.0 && (d5 - d6) >= 0.0) {
        return Add(b, Scale(Sub(c, b), (d4 - d3) / ((d4 - d3) + (d5 - d6))));
    }
    const double denominator = 1.0 / (va + vb + vc);
    return Add(a, Add(Scale(ab, vb * denominator), Scale(ac, vc * denominator)));
}

/// Whether p, projected along the triangle's normal, falls inside the triangle.
bool ProjectsInside(const Vec3& p, const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& normal) {
    return Dot(Cross(Sub(b, a), Sub(p, a)), normal) >= 0.0 &&
           Dot(Cross(Sub(c, b), Sub(p, b)), normal) >= 0.0 && Dot(Cross(Sub(a, c), Sub(p, c)), normal) >= 0.0;
}

double TriangleDepth(const Solid& solid, const Vec3& a, const Vec3& b, const Vec3& c) {
    Vec3 normal = Cross(Sub(b, a), Sub(c, a));
    const double length = Length(normal);
    if (length < 1e-12) {
        return 0.0;
    }
    normal = Scale(normal, 1.0 / length);
    if (solid.shape == SceneShape::kSphere) {
        const double distance = Length(Sub(solid.centre, ClosestOnTriangle(solid.centre, a, b, c)));
        const bool below =
            Dot(Sub(solid.centre, a), normal) < 0.0 && ProjectsInside(solid.centre, a, b, c, normal);
        return std::max(0.0, below ? solid.half[0] + distance : solid.half[0] - distance);
    }
    double depth = 0.0;
    for (int corner = 0; corner < 8; corner++) {
        Vec3 p = solid.centre;
        for (int i = 0; i < 3; i++) {
            p = Add(p, Scale(solid.axes[i], (corner >> i) & 1 ? solid.half[i] : -solid.half[i]));
        }
        const double height = Dot(Sub(p, a), normal);
        if (height < 0.0 && ProjectsInside(p, a, b, c, normal)) {
            depth = std::max(depth, -height);
        }
    }
    for (const Vec3* vertex : {&a, &b, &c}) {
        depth = std::max(depth, PointInBoxDepth(solid, *vertex));
    }
    return depth;
}

/// Triangles bucketed by the square of the x-z grid their box touches, to find those under a body.
class TerrainGrid {
public:
    explicit TerrainGrid(const SceneTerrain& terrain) : m_terrain(terrain) {
        const size_t triangles = terrain.indices.size() / 3;
        if (triangles == 0) {
            return;
        }
        m_lo[0] = m_lo[1] = 1e30;
        double hi[2] = {-1e30, -1e30};
        for (size_t v = 0; v < terrain.vertices.size(); v += 3) {
            for (int k = 0; k < 2; k++) {
                m_lo[k] = std::min(m_lo[k], static_cast<double>(terrain.vertices[v + 2 * k]));
                hi[k] = std::max(hi[k], static_cast<double>(terrain.vertices[v + 2 * k]));
            }
        }
        m_cells[0] = std::max(1, static_cast<int>(std::ceil(hi[0] - m_lo[0])));
        m_cells[1] = std::max(1, static_cast<int>(std::ceil(hi[1] - m_lo[1])));
        m_buckets.resize(static_cast<size_t>(m_cells[0]) * m_cells[1]);
        m_stamp.assign(triangles, 0);
        for (size_t t = 0; t < triangles; t++) {
            double lo[2] = {1e30, 1e30}, up[2] = {-1e30, -1e30};
            for (int k = 0; k < 3; k++) {
                const Vec3 v = Vertex(t, k);
                lo[0] = std::min(lo[0], v.x), up[0] = std::max(up[0], v.x);
                lo[1] = std::min(lo[1], v.z), up[1] = std::max(up[1], v.z);
            }
            ForCells(lo, up, [&](size_t cell) { m_buckets[cell].push_back(static_cast<int>(t)); });
        }
    }

    Vec3 Vertex(size_t triangle, int k) const {
        const size_t v = 3 * static_cast<size_t>(m_terrain.indices[3 * triangle + k]);
        return {m_terrain.vertices[v], m_terrain.vertices[v + 1], m_terrain.vertices[v + 2]};
    }

    double Depth(const Solid& solid) {
        if (m_buckets.empty()) {
            return 0.0;
        }
        m_visit++;
        double depth = 0.0;
        const double lo[2] = {solid.lo[0], solid.lo[2]}, up[2] = {solid.hi[0], solid.hi[2]};
        ForCells(lo, up, [&](size_t cell) {
            for (int t : m_buckets[cell]) {
                if (m_stamp[t] == m_visit) {
                    continue;
                }
                m_stamp[t] = m_visit;
                depth = std::max(depth, TriangleDepth(solid, Vertex(t, 0), Vertex(t, 1), Vertex(t, 2)));
            }
        });
        return depth;
    }

private:
    template <typename Visit> void ForCells(const double lo[2], const double up[2], Visit visit) const {
        int from[2], to[2];
        for (int k = 0; k < 2; k++) {
            from[k] = std::clamp(static_cast<int>(std::floor(lo[k] - m_lo[k])), 0, m_cells[k] - 1);
            to[k] = std::clamp(static_cast<int>(std::floor(up[k] - m_lo[k])), 0, m_cells[k] - 1);
        }
        for (int j = from[1]; j <= to[1]; j++) {
            for (int i = from[0]; i <= to[0]; i++) {
                visit(static_cast<size_t>(j) * m_cells[0] + i);
            }
        }
    }

    const SceneTerrain& m_terrain;
    double m_lo[2] = {0.0, 0.0};
    int m_cells[2] = {0, 0};
    std::vector<std::vector<int>> m_buckets;
    std::vector<unsigned> m_stamp;
    unsigned m_visit = 0;
};

} // namespace

bool PeerAtRest(const ScenePose& before, const ScenePose& after, float dt) {
    const Vec3 move = Sub(FromFloats(after.position), FromFloats(before.position));
    // sum of before_i x after_i = 2 sin(angle) along the axis of the turn between the two frames.
    Vec3 turn{0.0, 0.0, 0.0};
    double trace = 0.0;
    for (int i = 0; i < 3; i++) {
        turn = Add(turn, Cross(FromFloats(before.axes[i]), FromFloats(after.axes[i])));
        trace += Dot(FromFloats(before.axes[i]), FromFloats(after.axes[i]));
    }
    const double angle = trace > 1.0 ? std::asin(std::min(1.0, 0.5 * Length(turn))) : 3.14159265;
    return Length(move) < kPeerRestSpeed * dt && angle < kPeerRestOmega * dt;
}

float PeerMaxPenetration(const NamedScene& scene, const std::vector<ScenePose>& poses) {
    std::vector<Solid> solids;
    solids.reserve(scene.bodies.size());
    for (size_t i = 0; i < scene.bodies.size(); i++) {
        solids.push_back(MakeSolid(scene.bodies[i], poses[i]));
    }
    // Sweep along x over the boxes sorted by their lower x bound.
    std::vector<int> order(solids.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return solids[a].lo[0] < solids[b].lo[0]; });
    // Jointed bodies don't collide with each other: their overlap is the joint's business.
    std::set<std::pair<int, int>> joined;
    for (const SceneJoint& joint : scene.joints) {
        joined.insert({std::min(joint.child, joint.parent), std::max(joint.child, joint.parent)});
    }
    double depth = 0.0;
    for (size_t i = 0; i < order.size(); i++) {
        const Solid& a = solids[order[i]];
        const bool aStatic = scene.bodies[order[i]].mass <= 0.0f;
        for (size_t j = i + 1; j < order.size() && solids[order[j]].lo[0] <= a.hi[0]; j++) {
            const Solid& b = solids[order[j]];
            if ((aStatic && scene.bodies[order[j]].mass <= 0.0f) || b.lo[1] > a.hi[1] || a.lo[1] > b.hi[1] ||
                b.lo[2] > a.hi[2] || a.lo[2] > b.hi[2]) {
                continue;
            }
            if (joined.count({std::min(order[i], order[j]), std::max(order[i], order[j])}) == 0) {
                depth = std::max(depth, PairDepth(a, b));
            }
        }
    }
    TerrainGrid grid(scene.terrain);
    for (size_t i = 0; i < solids.size(); i++) {
        if (scene.bodies[i].mass > 0.0f) {
            depth = std::max(depth, grid.Depth(solids[i]));
        }
    }
    return static_cast<float>(depth);
}

namespace {

/// The point p, given in world space for the pose as built, carried along with the body to its pose now.
Vec3 CarriedPoint(const SceneBody& body, const ScenePose& now, const float p[3]) {
    const ScenePose built = NamedScene::InitialPose(body);
    const Vec3 offset = Sub(FromFloats(p), FromFloats(built.position));
    Vec3 point = FromFloats(now.position);
    for (int i = 0; i < 3; i++) {
        point = Add(point, Scale(FromFloats(now.axes[i]), Dot(offset, FromFloats(built.axes[i]))));
    }
    return point;
}

/// The direction d, given in world space for the pose as built, turned along with the body.
Vec3 CarriedDirection(const SceneBody& body, const ScenePose& now, const Vec3& d) {
    const ScenePose built = NamedScene::InitialPose(body);
    Vec3 out = {0.0, 0.0, 0.0};
    for (int i = 0; i < 3; i++) {
        out = Add(out, Scale(FromFloats(now.axes[i]), Dot(d, FromFloats(built.axes[i]))));
    }
    return out;
}

} // namespace

void PeerAddJointSeparations(const NamedScene& scene, const std::vector<ScenePose>& poses,
                             PeerJointError& error) {
    for (const SceneJoint& joint : scene.joints) {
        const Vec3 p0 = CarriedPoint(scene.bodies[joint.child], poses[joint.child], joint.pivot);
        const Vec3 p1 = joint.parent < 0
                            ? FromFloats(joint.pivot)
                            : CarriedPoint(scene.bodies[joint.parent], poses[joint.parent], joint.pivot);
        const double separation = Length(Sub(p0, p1));
        error.largest = std::max(error.largest, separation);
        error.sum += separation;
        error.count++;
    }
}

void PeerAddLimitOvershoots(const NamedScene& scene, const std::vector<ScenePose>& poses, double& largest) {
    for (const SceneJoint& joint : scene.joints) {
        if (joint.kind != SceneJointKind::kBall || (joint.coneAngle <= 0.0f && joint.twistAngle <= 0.0f)) {
            continue;
        }
        // The joint frame as built: the pin and two axes square to it.
        const Vec3 pin = Scale(FromFloats(joint.pin), 1.0 / Length(FromFloats(joint.pin)));
        Vec3 up = Cross(std::fabs(pin.x) < 0.9 ? Vec3{1.0, 0.0, 0.0} : Vec3{0.0, 1.0, 0.0}, pin);
        up = Scale(up, 1.0 / Length(up));
        const Vec3 frame[3] = {pin, up, Cross(pin, up)};
        Vec3 parent[3];
        Vec3 child[3];
        for (int i = 0; i < 3; i++) {
            parent[i] = joint.parent < 0
                            ? frame[i]
                            : CarriedDirection(scene.bodies[joint.parent], poses[joint.parent], frame[i]);
            child[i] = CarriedDirection(scene.bodies[joint.child], poses[joint.child], frame[i]);
        }
        const double cone = std::acos(std::clamp(Dot(parent[0], child[0]), -1.0, 1.0));
        // The relative turn as a quaternion: 1 + trace = 4 w^2, the sum of the axes' cross products 4 w v.
        Vec3 v = {0.0, 0.0, 0.0};
        double trace = 0.0;
        for (int i = 0; i < 3; i++) {
            v = Add(v, Cross(parent[i], child[i]));
            trace += Dot(parent[i], child[i]);
        }
        const double twist = std::fabs(2.0 * std::atan2(Dot(v, parent[0]), 1.0 + trace));
        if (joint.coneAngle > 0.0f) {
            largest = std::max(largest, cone - joint.coneAngle);
        }
        if (joint.twistAngle > 0.0f) {
            largest = std::max(largest, twist - joint.twistAngle);
        }
    }
}

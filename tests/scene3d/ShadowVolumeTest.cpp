// Shadow volumes of the 3D object: the silhouette ring of a closed mesh, its extrusion, and the same
// volume as a search of the edge list makes on random meshes.
#include "host/BuildMeshes.h"
#include "support/SceneFixture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <set>
#include <utility>

namespace {

using Edge = std::pair<std::uint32_t, std::uint32_t>;

/// Vertices on the axes at +-1; faces by octant, wound clockwise seen from outside.
class OctahedronTest : public SceneFixture {
protected:
    void SetUp() override {
        SceneFixture::SetUp();
        const float axes[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
        m_mesh.Vertices.reset(new Vertex3D[6]);
        for (int i = 0; i < 6; ++i) {
            m_mesh.Vertices[i].x = axes[i][0];
            m_mesh.Vertices[i].y = axes[i][1];
            m_mesh.Vertices[i].z = axes[i][2];
        }
        m_mesh.VertexCount = 6;
        m_mesh.IndexLists.reset(new std::unique_ptr<std::uint32_t[]>[IOrvalen3DD3DObject::kMaxMaterials]);
        m_mesh.IndexLists[0].reset(new std::uint32_t[24]);
        for (int face = 0; face < 8; ++face) {
            const std::uint32_t x = face & 1, y = 2 + ((face >> 1) & 1), z = 4 + ((face >> 2) & 1);
            // An odd number of negative axes flips the winding.
            const bool flip = ((face & 1) + ((face >> 1) & 1) + ((face >> 2) & 1)) % 2 == 1;
            const std::uint32_t corners[3] = {x, flip ? z : y, flip ? y : z};
            std::copy(corners, corners + 3, &m_mesh.IndexLists[0][3 * face]);
        }
        m_mesh.TriangleCounts.reset(new std::int32_t[1]{8});
        m_mesh.MaterialCount = 1;
        m_mesh.ShadowEdges.reset(new ShadowEdge[24]);
        ASSERT_TRUE(m_mesh.ShadowEdgeLookup.Make(24));
        m_mesh.ShadowVertices.reset(new Vertex3D[144]);
        IOrvalenRenderer* renderer = m_handle;
        m_mesh.SetRenderer(&renderer);
    }

    /// The edges between faces on either side of the light: an octant face's outward normal has the
    /// signs of its octant, so a face is lit or not by the sign of that normal against the light.
    static std::set<Edge> IndependentRing(float lx, float ly, float lz) {
        std::set<Edge> ring;
        const auto side = [&](int face) {
            return ((face & 1) ? -lx : lx) + ((face & 2) ? -ly : ly) + ((face & 4) ? -lz : lz) > 0.0f;
        };
        for (int a = 0; a < 8; ++a) {
            for (int bit = 1; bit < 8; bit <<= 1) {
                const int b = a ^ bit;
                if (a < b && side(a) != side(b)) {
                    // The two faces share the vertices on the two axes the bit does not flip.
                    std::vector<std::uint32_t> shared;
                    const std::uint32_t axis[3] = {std::uint32_t(a & 1), std::uint32_t(2 + ((a >> 1) & 1)),
                                                   std::uint32_t(4 + ((a >> 2) & 1))};
                    for (int k = 0; k < 3; ++k) {
                        if ((1 << k) != bit) {
                            shared.push_back(axis[k]);
                        }
                    }
                    ring.insert({std::min(shared[0], shared[1]), std::max(shared[0], shared[1])});
                }
            }
        }
        return ring;
    }

    std::set<Edge> BuiltRing() const {
        std::set<Edge> ring;
        for (int i = 0; i < m_mesh.ShadowEdgeCount; ++i) {
            const ShadowEdge& e = m_mesh.ShadowEdges[i];
            ring.insert({std::min(e.First, e.Second), std::max(e.First, e.Second)});
        }
        return ring;
    }

    IOrvalen3DD3DObject m_mesh;
};

} // namespace

TEST_F(OctahedronTest, AClosedMeshYieldsExactlyItsSilhouetteRing) {
    for (const D3DXVECTOR3& light : {D3DXVECTOR3(0.3f, -1.0f, 0.2f), D3DXVECTOR3(-2.0f, 0.5f, 0.7f),
                                     D3DXVECTOR3(0.1f, 0.2f, -3.0f)}) {
        m_mesh.BuildShadowVolume(light.x, light.y, light.z);
        const std::set<Edge> expected = IndependentRing(light.x, light.y, light.z);
        EXPECT_EQ(expected, BuiltRing());
        EXPECT_EQ(static_cast<std::int32_t>(expected.size()), m_mesh.ShadowEdgeCount) << "no edge kept twice";
        EXPECT_EQ(2 * m_mesh.ShadowEdgeCount, m_mesh.ShadowTriangleCount);
    }
}

TEST_F(OctahedronTest, EdgesExtrudeByTheDirectionAsGivenTimesATenthOfTheFarPlane) {
    m_mesh.SetPosition(5, 0, 0);
    m_mesh.BuildShadowVolume(2, -4, 1);
    ASSERT_GT(m_mesh.ShadowTriangleCount, 0);
    const float reach = Renderer().FarPlane / 10.0f; // 100
    for (int edge = 0; edge < m_mesh.ShadowEdgeCount; ++edge) {
        const Vertex3D* quad = &m_mesh.ShadowVertices[6 * edge];
        const Vertex3D& a = m_mesh.Vertices[m_mesh.ShadowEdges[edge].First];
        EXPECT_EQ(a.x + 5.0f, quad[0].x) << "placed by the object's matrix";
        EXPECT_FLOAT_EQ(quad[0].x + 2 * reach, quad[5].x);
        EXPECT_FLOAT_EQ(quad[1].y - 4 * reach, quad[2].y);
        EXPECT_FLOAT_EQ(quad[1].z + reach, quad[4].z);
        EXPECT_EQ(quad[0].x, quad[3].x);
        EXPECT_EQ(0x00FFFFFFu, quad[2].diffuse);
    }
}

TEST_F(OctahedronTest, WithoutShadowArraysOrADirectionNothingIsBuilt) {
    m_mesh.BuildShadowVolume(0, 0, 0);
    EXPECT_EQ(0, m_mesh.ShadowTriangleCount);
    m_mesh.ShadowVertices.reset();
    m_mesh.BuildShadowVolume(1, 1, 1);
    EXPECT_EQ(0, m_mesh.ShadowEdgeCount);
    EXPECT_EQ(0, m_mesh.ShadowTriangleCount);
    EXPECT_TRUE(m_mesh.RenderShadowVolume()) << "an empty volume draws nothing";
}

namespace {

using Positions = std::vector<std::array<float, 3>>;

/// The volume of an object placed by the identity as a search of the edge list builds it, each edge
/// found again leaving the list with the last one in its place: the order the lookup must keep.
Positions SearchedVolume(const IOrvalen3DD3DObject& object, float x, float y, float z, float farPlane) {
    std::vector<ShadowEdge> edges;
    const auto toggle = [&](std::uint32_t a, std::uint32_t b) {
        for (ShadowEdge& e : edges) {
            if ((e.First == a && e.Second == b) || (e.First == b && e.Second == a)) {
                e = edges.back();
                edges.pop_back();
                return;
            }
        }
        edges.push_back({a, b});
    };
    const auto at = [&](std::uint32_t i) {
        return D3DXVECTOR3(object.Vertices[i].x, object.Vertices[i].y, object.Vertices[i].z);
    };
    const float length = std::sqrt(x * x + y * y + z * z);
    const D3DXVECTOR3 light(x / length, y / length, z / length);
    for (std::int32_t group = 0; group < object.MaterialCount; ++group) {
        for (std::int32_t t = 0; t < object.TriangleCounts[group]; ++t) {
            const std::uint32_t* i = &object.IndexLists[group][3 * t];
            D3DXVECTOR3 normal;
            const D3DXVECTOR3 e2 = at(i[2]) - at(i[0]), e1 = at(i[1]) - at(i[0]);
            if (D3DXVec3Dot(D3DXVec3Cross(&normal, &e2, &e1), &light) >= 0.0f) {
                toggle(i[0], i[1]), toggle(i[1], i[2]), toggle(i[2], i[0]);
            }
        }
    }
    const float reach = farPlane / 10.0f;
    const D3DXVECTOR3 extrusion(x * reach, y * reach, z * reach);
    Positions volume;
    for (const ShadowEdge& edge : edges) {
        const D3DXVECTOR3 a = at(edge.First), b = at(edge.Second), farA = a + extrusion, farB = b + extrusion;
        for (const D3DXVECTOR3& p : {a, b, farB, a, farB, farA}) {
            volume.push_back({p.x, p.y, p.z});
        }
    }
    return volume;
}

/// A torus of n x n cells, two triangles each, every edge shared by two of them in opposite directions,
/// at random positions; `keep` is the chance a triangle stays, so below 1 the mesh is open. Unless
/// `shared`, each triangle has corners of its own, and no two share an edge.
BuildMesh RandomTorus(std::mt19937& random, std::uint32_t n, double keep, bool shared) {
    BuildMesh mesh;
    std::uniform_real_distribution<float> coordinate(-1.0f, 1.0f);
    for (std::uint32_t v = 0; v < n * n; ++v) {
        mesh.AddVertex(coordinate(random), coordinate(random), coordinate(random), 0, 0, 1);
    }
    mesh.parts = {{"a", {}}, {"b", {}}};
    std::bernoulli_distribution kept(keep), firstGroup(0.5);
    for (std::uint32_t i = 0; i < n; ++i) {
        for (std::uint32_t j = 0; j < n; ++j) {
            const std::uint32_t v00 = i * n + j, v10 = (i + 1) % n * n + j, v01 = i * n + (j + 1) % n,
                                v11 = (i + 1) % n * n + (j + 1) % n;
            for (const std::array<std::uint32_t, 3>& t : {std::array{v00, v10, v01}, {v10, v11, v01}}) {
                auto& list = mesh.parts[firstGroup(random) ? 0 : 1].second;
                if (!kept(random)) {
                    continue;
                }
                for (const std::uint32_t corner : t) {
                    const Vertex3D p = mesh.vertices[corner];
                    list.push_back(shared ? corner : mesh.AddVertex(p.x, p.y, p.z, 0, 0, 1));
                }
            }
        }
    }
    return mesh;
}

using ShadowVolume = SceneFixture;

} // namespace

TEST_F(ShadowVolume, MatchesTheEdgeListSearchOnClosedOpenAndDisjointMeshes) {
    std::mt19937 random(47);
    std::normal_distribution<float> axis;
    for (const BuildMesh& mesh : {RandomTorus(random, 40, 1.0, true), RandomTorus(random, 40, 0.6, true),
                                  RandomTorus(random, 4, 1.0, true), RandomTorus(random, 32, 1.0, false)}) {
        IOrvalen3DObject* object = mesh.Begin(*m_scene);
        ASSERT_TRUE(m_scene->EndObjectBuild(object, true));
        const IOrvalen3DD3DObject& built = Implementation(object);
        // Several builds of one object: each starts from the table the last one left.
        for (int light = 0; light < 4; ++light) {
            const float x = axis(random), y = axis(random), z = axis(random);
            object->BuildShadowVolume(x, y, z);
            Positions volume;
            for (std::int32_t v = 0; v < 3 * built.ShadowTriangleCount; ++v) {
                const Vertex3D& p = built.ShadowVertices[v];
                volume.push_back({p.x, p.y, p.z});
            }
            ASSERT_EQ(SearchedVolume(built, x, y, z, Renderer().FarPlane), volume) << "light " << light;
        }
    }
}

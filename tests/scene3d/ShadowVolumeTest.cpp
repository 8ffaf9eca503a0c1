// Shadow volumes of the 3D object: the silhouette ring of a closed mesh and its extrusion.
#include "support/SceneFixture.h"

#include <algorithm>
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

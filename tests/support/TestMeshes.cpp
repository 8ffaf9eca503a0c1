#include "support/TestMeshes.h"

const dgInt32 kUnitCubeQuads[6][4] = {{0, 4, 5, 1}, {0, 1, 3, 2}, {1, 5, 7, 3},
                                      {5, 4, 6, 7}, {4, 0, 2, 6}, {6, 2, 3, 7}};

std::vector<dgFloat32> UnitCubeVertices() {
    std::vector<dgFloat32> vertices;
    for (dgInt32 i = 0; i < 8; i++) {
        vertices.push_back(static_cast<dgFloat32>((i >> 2) & 1));
        vertices.push_back(static_cast<dgFloat32>((i >> 1) & 1));
        vertices.push_back(static_cast<dgFloat32>(i & 1));
    }
    return vertices;
}

void BuildUnitCube(dgHalfEdgeMesh& mesh) {
    mesh.BeginFace();
    for (const auto& quad : kUnitCubeQuads) {
        mesh.AddFace(4, quad);
    }
    mesh.EndFace();
}

std::vector<dgFloat32> GridVertices(dgInt32 n) {
    std::vector<dgFloat32> vertices;
    for (dgInt32 j = 0; j <= n; j++) {
        for (dgInt32 i = 0; i <= n; i++) {
            vertices.push_back(static_cast<dgFloat32>(i));
            vertices.push_back(static_cast<dgFloat32>(j));
            vertices.push_back(0.0f);
        }
    }
    return vertices;
}

std::vector<dgInt32> GridTriangles(dgInt32 n) {
    std::vector<dgInt32> triangles;
    for (dgInt32 j = 0; j < n; j++) {
        for (dgInt32 i = 0; i < n; i++) {
            const dgInt32 v00 = j * (n + 1) + i;
            const dgInt32 v10 = v00 + 1;
            const dgInt32 v01 = v00 + n + 1;
            const dgInt32 v11 = v01 + 1;
            triangles.insert(triangles.end(), {v00, v10, v11, v00, v11, v01});
        }
    }
    return triangles;
}

#pragma once
// Small meshes shared by the half-edge mesh tests: a unit cube and flat triangle grids.

#include "physics/core/dgHalfEdgeMesh.h"

#include <vector>

/// Corner i of the unit cube sits at ((i >> 2) & 1, (i >> 1) & 1, i & 1).
std::vector<dgFloat32> UnitCubeVertices();
/// The cube's six quads, counter-clockwise seen from outside, four indices each.
extern const dgInt32 kUnitCubeQuads[6][4];
/// Builds the closed cube from its six quads (BeginFace ... EndFace).
void BuildUnitCube(dgHalfEdgeMesh& mesh);

/// (n + 1) x (n + 1) grid vertices in the plane z = 0, vertex (i, j) at index j * (n + 1) + i.
std::vector<dgFloat32> GridVertices(dgInt32 n);
/// The 2 n² triangles of the grid, counter-clockwise seen from +z, three indices each.
std::vector<dgInt32> GridTriangles(dgInt32 n);

#include "physics/core/dgQuadric.h"

#include "physics/core/dgHalfEdge.h"

void VertexQuadric(dgQuadric* quadrics, dgVertexView vertices, const dgHalfEdge* edge) {
    const dgInt32 v = edge->m_origin;
    dgQuadric& quadric = quadrics[v];
    quadric.Clear();
    const dgHalfEdge* ptr = edge;
    do {
        if (ptr->m_face > 0) {
            quadric.AddPlane(TrianglePlane(v, ptr->m_next->m_origin, ptr->m_prev->m_origin, vertices));
        } else {
            // ptr leaves v along the border and ptr->m_prev arrives along it: keep v on both lines.
            const dgHalfEdge* twin = ptr->m_twin;
            quadric.AddPlane(BoundaryPlane(v, twin->m_origin, twin->m_prev->m_origin, vertices));
            const dgHalfEdge* arriving = ptr->m_prev;
            quadric.AddPlane(
                BoundaryPlane(v, arriving->m_origin, arriving->m_twin->m_prev->m_origin, vertices));
        }
        ptr = ptr->m_twin->m_next;
    } while (ptr != edge);
}

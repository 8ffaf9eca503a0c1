#include "physics/collision/dgPolygonSoupDatabase.h"

#include "physics/core/dgClassIds.h"
#include "physics/core/dgMemory.h"

dgPolygonSoupDatabase::dgPolygonSoupDatabase(const char* name)
    : m_vertexCount(0), m_vertexStride(0), m_vertices(nullptr) {
    if (name != nullptr) {
        SetName(name);
    }
}

dgPolygonSoupDatabase::~dgPolygonSoupDatabase() {
    dgFree(m_vertices);
}

dgUnsigned32 dgPolygonSoupDatabase::GetTypeId() const {
    return dgPolygonSoupDatabaseClassId;
}

bool dgPolygonSoupDatabase::IsType(dgUnsigned32 typeId) const {
    return typeId == dgPolygonSoupDatabaseClassId || dgRef::IsType(typeId);
}

void dgPolygonSoupDatabase::GetAABB(dgVector&, dgVector&) const {}

void dgPolygonSoupDatabase::ForEachPolygonInBox(const dgVector&, const dgVector&, dgPolygonSoupCallback,
                                                void*) const {}

void dgPolygonSoupDatabase::ForEachPolygonOnRay(const dgVector&, const dgVector&, dgPolygonSoupCallback,
                                                void*) const {}

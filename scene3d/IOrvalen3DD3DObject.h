#pragma once
// The Direct3D implementation of the 3D object. The renderer core reads its material groups directly
// to bind a group's texture to a shader effect by name, so these fields are public and keep their names.

#include "IOrvalen3DObject.h"
#include "platform/Direct3D9.h"

#include <cstdint>

class IOrvalen3DD3DObject : public IOrvalen3DObject {
public:
    static constexpr int kMaxMaterials = 1000;

    char** MaterialNames = nullptr; ///< kMaxMaterials name buffers, one per group; owned
    IDirect3DTexture9** Textures =
        nullptr; ///< kMaxMaterials textures, one per group, null for none; one reference each
    std::int32_t MaterialCount = 0; ///< groups in use
};

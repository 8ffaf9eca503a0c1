#pragma once
// Material of a pair of body groups; contact points share its layout and copy its values.

#include "physics/collision/dgContactPoint.h"
#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"

class dgBody;
class dgContactJoint;
class dgContactMaterial;

using dgMaterialPair = dgContactMaterial;

/// Zero skips the pair for this step.
using dgContactBeginCallback = dgUnsigned8 (*)(dgMaterialPair* pair, dgBody* body0, dgBody* body1);
/// Zero drops the new point.
using dgContactProcessCallback = dgUnsigned8 (*)(dgContactMaterial* contact, dgContactJoint* joint);
using dgContactEndCallback = void (*)(dgMaterialPair* pair);
/// Zero skips the compound's child.
using dgCompoundChildCallback = dgUnsigned8 (*)(dgMaterialPair* pair, dgBody* body0, dgBody* body1);

/// The record of a material pair and, with the contact fields filled, of a contact point.
class dgContactMaterial {
public:
    /// Flag bits.
    static constexpr dgUnsigned32 kCollidable = 1u << 0;
    static constexpr dgUnsigned32 kFriction0 = 1u << 1;
    static constexpr dgUnsigned32 kFriction1 = 1u << 2;
    static constexpr dgUnsigned32 kTangent0Acceleration = 1u << 3;
    static constexpr dgUnsigned32 kTangent1Acceleration = 1u << 4;
    static constexpr dgUnsigned32 kNormalAcceleration = 1u << 5;
    static constexpr dgUnsigned32 kContinuousCollision = 1u << 6;

    dgContactPoint m_point;
    dgVector m_dir0; ///< first friction direction
    dgVector m_dir1;
    void* m_userData = nullptr;
    dgFloat32 m_softness = 0.0f;
    dgFloat32 m_elasticity = 0.0f;
    dgFloat32 m_staticFriction0 = 0.0f;
    dgFloat32 m_staticFriction1 = 0.0f;
    dgFloat32 m_kineticFriction0 = 0.0f;
    dgFloat32 m_kineticFriction1 = 0.0f;
    dgFloat32 m_normalAcceleration = 0.0f; ///< after the solve, the normal force
    dgFloat32 m_tangent0Acceleration = 0.0f;
    dgFloat32 m_tangent1Acceleration = 0.0f;
    dgUnsigned32 m_flags = 0;
    dgContactEndCallback m_endCallback = nullptr;
    dgContactBeginCallback m_beginCallback = nullptr;
    dgContactProcessCallback m_processCallback = nullptr;
    dgCompoundChildCallback m_compoundChildCallback = nullptr;
};

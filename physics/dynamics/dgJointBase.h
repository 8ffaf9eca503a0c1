#pragma once
// Base of every joint: the two bodies, the link into their joint rings and the virtual operations the
// world and the dynamics update call.

#include "physics/core/dgTypes.h"

class dgBody;
class dgJointBase;
class dgJointLink;
class dgVector;
class dgWorld;
struct dgJointParams;
struct dgPointParam;

using dgJointDestructorCallback = void (*)(dgJointBase* joint);

class dgJointBase {
public:
    /// Joint kinds.
    static constexpr dgUnsigned16 kBallJoint = 0;
    static constexpr dgUnsigned16 kHingeJoint = 1;
    static constexpr dgUnsigned16 kSliderJoint = 2;
    static constexpr dgUnsigned16 kContactJoint = 3;
    static constexpr dgUnsigned16 kUpVectorJoint = 4;
    static constexpr dgUnsigned16 kUniversalJoint = 5;
    static constexpr dgUnsigned16 kCorkscrewJoint = 6;
    static constexpr dgUnsigned16 kVehicleJoint = 8;
    static constexpr dgUnsigned16 kBaseJoint = 9;

    dgBody* m_body0 = nullptr;
    dgBody* m_body1 = nullptr; ///< null: the fixed world
    void* m_userData = nullptr;
    dgJointLink* m_link = nullptr; ///< the joint's link in body0's ring; null while not attached
    dgUnsigned64 m_stamp = 0;      ///< step stamp of the dynamics update; cleared when attached
    dgUnsigned64 m_serial = 0;     ///< attachment serial in its world: orders the world's joint sets
    dgUnsigned16 m_maxRows = 6;
    dgUnsigned16 m_kind = kBaseJoint;
    dgUnsigned8 m_collisionState = 0; ///< 0: contacts between the two bodies are skipped
    dgUnsigned8 m_staleMark = 0;

    dgJointBase() = default;
    virtual ~dgJointBase() = default;
    dgJointBase(const dgJointBase&) = delete;
    dgJointBase& operator=(const dgJointBase&) = delete;

    void* GetUserData() const { return m_userData; }
    void SetUserData(void* userData) { m_userData = userData; }

    virtual dgJointDestructorCallback SetJointDestructor(dgJointDestructorCallback callback) = 0;
    virtual dgFloat32 GetStiffness() const;
    virtual void SetStiffness(dgFloat32 stiffness);
    /// Clears the bodies, user data and link; maximum rows 6, kind 9.
    virtual void Init();
    /// Gives the joint back to the pool it came from.
    virtual void Release(dgWorld* world) = 0;
    /// True when the joint joins its bodies into one group for the linked-body walk.
    virtual bool JoinsBodies() const;
    virtual dgFloat32 GetExtraParameter() const;
    /// Fills the joint's constraint rows; returns their number.
    virtual dgInt32 SubmitConstraints(dgJointParams& params) = 0;

    // Row builders: each writes row i of params, with every w of the Jacobian 0.
    /// The motion of global point p0 fixed in body0 and p1 fixed in body1.
    void InitPointParam(dgPointParam& pp, dgFloat32 stiffness, const dgVector& p0, const dgVector& p1) const;
    /// A row that drives (p1 - p0) . dir to zero; dir unit and global.
    void AddLinearRow(dgInt32 i, dgJointParams& params, const dgVector& dir, const dgPointParam& pp,
                      dgFloat32* force) const;
    /// A row that drives the angle about the unit global dir to zero.
    void AddAngularRow(dgInt32 i, dgJointParams& params, const dgVector& dir, dgFloat32 stiffness,
                       dgFloat32 angle, dgFloat32* force) const;
    /// A row from two halves of six floats each (linear, then angular), asking for no acceleration.
    void AddGeneralRow(dgInt32 i, dgJointParams& params, const dgFloat32* jacobian0, const dgFloat32* jacobian1,
                       dgFloat32* force) const;
    /// The acceleration a spring ks and damper kd ask along row i, which is already written, for the
    /// stretch (p1 - p0) along the row plus x.
    dgFloat32 CalcSpringDamperAcceleration(dgInt32 i, const dgJointParams& params, dgFloat32 x, const dgVector& p0,
                                           const dgVector& p1, dgFloat32 ks, dgFloat32 kd) const;
};

#pragma once
// The joint that holds two touching bodies apart: it owns the pair's contact points and turns each into
// a normal row and up to two friction rows. Contact joints are pooled by the world.

#include "physics/core/dgList.h"
#include "physics/core/dgRecyclePool.h"
#include "physics/core/dgTypes.h"
#include "physics/core/dgVector.h"
#include "physics/dynamics/dgJointBase.h"
#include "physics/dynamics/dgJointParams.h"
#include "physics/dynamics/dgMaterialPair.h"

/// One contact point of a contact joint: the narrow phase's record, the friction directions and the
/// material values copied from the pair. After a solve the three acceleration slots hold the normal and
/// friction forces.
class dgContact : public dgContactMaterial {};

using dgContactPointList = dgList<dgContact>;

class dgContactJoint : public dgJointBase {
public:
    /// Most points a joint submits: three rows each fill the 48 rows of a joint.
    static constexpr dgInt32 kMaxPoints = dgJointParams::kMaxRows / 3;
    /// Tangential speed above which friction takes the kinetic coefficients.
    static constexpr dgFloat32 kKineticSpeed = 0.3f;
    /// Normal speed above which the bodies count as approaching and restitution applies.
    static constexpr dgFloat32 kRestitutionSpeed = 0.001f;
    /// Penetration pushed out per step at most.
    static constexpr dgFloat32 kMaxPenetration = 0.5f;

    dgContactPointList m_points; ///< points in use first; nodes from the process-wide pool of contact nodes
    dgListNode<dgContactJoint*>* m_activeNode = nullptr; ///< node in the world's active list; null while free
    dgUnsigned64 m_contactStamp = 0; ///< step in which the contact calculation last refreshed the points
    dgInt32 m_pointCount = 0;        ///< points in use, from the head of m_points; set with SetPointCount

    dgContactJoint();
    ~dgContactJoint() override = default;

    /// Contact joints take no destructor callback; returns null.
    dgJointDestructorCallback SetJointDestructor(dgJointDestructorCallback callback) override;
    /// Drops the points and hands the joint back to the world's pool.
    void Release(dgWorld* world) override;
    /// Per point a normal row (rows 0 to n-1), then its friction rows, numbered from n on.
    dgInt32 SubmitConstraints(dgJointParams& params) override;

    /// The number of points in use, at most the list's count and kMaxPoints; the maximum row count follows.
    void SetPointCount(dgInt32 count);

private:
    void SubmitContactPoint(dgJointParams& params, dgContact& point, dgInt32 i, dgInt32& rowCount) const;
    void SubmitFrictionRow(dgJointParams& params, const dgPointParam& pp, const dgVector& dir,
                           dgInt32 normalRow, dgInt32 i, bool accelerationGiven, dgFloat32 acceleration,
                           dgFloat32 staticFriction, dgFloat32 kineticFriction, dgFloat32* force) const;
    void BuildJacobianPair(dgInt32 i, dgJointParams& params, const dgVector& dir,
                           const dgPointParam& pp) const;
};

/// The world's contact joints: pages of 64 with a list of released ones, the joints in use and those the
/// dynamics update found no longer touching.
class dgContactJointPool {
public:
    dgRecyclePool<dgContactJoint> m_joints;
    dgList<dgContactJoint*> m_activeList;
    dgList<dgContactJoint*> m_staleList;

    /// A joint with no points and no bodies, in the active list: a released one first.
    dgContactJoint* CreateJoint();
    /// Takes the joint out of the active list and puts it at the end of the released list.
    void ReleaseJoint(dgContactJoint* joint);
    /// Destroys every joint of the stale list through the world; the list ends empty.
    void ReleaseContactList(dgWorld* world);
};

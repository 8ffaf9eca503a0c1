#pragma once
// The world's ragdolls and the walk that reports the moved ones after each sub-step.

#include "physics/core/dgList.h"
#include "physics/dynamics/dgRagDoll.h"

class dgWorld;

/// The list holds one reference of each record's node; the report walk holds one more of the record
/// it reports, so a record destroyed from its own callback is freed only after the walk.
class dgRagDollList : public dgList<dgRagDoll> {
public:
    explicit dgRagDollList(dgWorld* world) : m_world(world) {}

    /// A new empty record at the end of the list.
    dgRagDoll* Add();
    /// Takes the record out of the list and the report queue and lets go of its tree (see
    /// dgRagDoll::ReleaseTree). False, doing nothing, for a record that is not in this list.
    bool Remove(dgRagDoll* ragdoll);
    /// Removes every record in list order.
    void DestroyAll();
    /// Reports each queued ragdoll, the last queued first: its transform callback with every bone in
    /// post-order, while the tree the walk started on is still the ragdoll's.
    void UpdateAll();

private:
    /// Calls the transform callback with each bone of the record's present tree.
    static void Report(dgRagDoll* ragdoll);

    dgWorld* m_world;
};

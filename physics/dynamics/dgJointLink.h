#pragma once
// The links that put a joint into the rings of joints of its two bodies.

class dgBody;
class dgJointBase;

/// One of a joint's two links. The link after X in X's body's ring is X.m_twin->m_next, and
/// X.m_prev is the twin of the link before X, so every pointer of a ring of one aims at the twin.
class dgJointLink {
public:
    dgJointLink* m_twin = nullptr;
    dgJointLink* m_next = nullptr;
    dgJointLink* m_prev = nullptr;
    dgBody* m_body = nullptr;
    dgJointBase* m_joint = nullptr; ///< cleared just before the pair is released

    /// The link after this one in its body's ring.
    dgJointLink* GetNextInRing() const { return m_twin->m_next; }
};

/// The two links of one joint, taken from and returned to the world's pool together.
class dgJointLinkPair {
public:
    dgJointLink m_first;  ///< body0's link; the joint keeps it
    dgJointLink m_second; ///< body1's link

    /// The pair whose first link this is (the first member shares the pair's address).
    static dgJointLinkPair* FromFirst(dgJointLink* first) {
        return reinterpret_cast<dgJointLinkPair*>(first);
    }
};

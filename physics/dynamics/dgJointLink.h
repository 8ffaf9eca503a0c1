#pragma once
// The links that put a joint into the rings of joints of its two bodies.

class dgBody;
class dgJointBase;

/// One of a joint's two links. The link after X in X's body's ring is X.m_twin->m_next.
class dgJointLink {
public:
    dgJointLink* m_twin = nullptr;
    dgJointLink* m_next = nullptr;
    dgJointLink* m_prev = nullptr;
    dgBody* m_body = nullptr;
    dgJointBase* m_joint = nullptr; ///< cleared just before the pair is released
};

/// The two links of one joint, taken from and returned to the world's pool together.
class dgJointLinkPair {
public:
    dgJointLink m_links[2];
};

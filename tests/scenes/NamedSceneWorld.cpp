#include "scenes/NamedSceneWorld.h"

#include "physics/api/dgApi.h"
#include "physics/dynamics/dgBallJoint.h"
#include "physics/dynamics/dgRagDollBone.h"
#include "support/RagDollScenes.h"

#include <map>
#include <utility>

namespace {

void ApplyGravity(dgBody* body) {
    float mass, ixx, iyy, izz;
    dgApiBodyGetMassMatrix(body, &mass, &ixx, &iyy, &izz);
    const float force[3] = {0.0f, -kSceneGravity * mass, 0.0f};
    dgApiBodySetForce(body, force);
}

/// The pose as a matrix, its position moved back by shift along the body's x axis.
ragdollscene::Mat4 Matrix(const ScenePose& pose, float shift) {
    ragdollscene::Mat4 matrix{};
    for (int row = 0; row < 3; row++) {
        for (int k = 0; k < 3; k++) {
            matrix[4 * row + k] = pose.axes[row][k];
            matrix[12 + k] = pose.position[k] - shift * pose.axes[0][k];
        }
    }
    matrix[15] = 1.0f;
    return matrix;
}

dgBody* BuildBody(dgWorld* world, const SceneBody& desc) {
    dgCollision* shape =
        desc.shape == SceneShape::kBox
            ? dgApiCollisionCreateBox(world, desc.size[0], desc.size[1], desc.size[2], nullptr)
            : dgApiCollisionCreateSphere(world, desc.size[0], desc.size[0], desc.size[0], nullptr);
    if (shape == nullptr) {
        return nullptr;
    }
    dgBody* body = dgApiBodyCreate(world, shape);
    dgApiCollisionRelease(world, shape);
    if (body == nullptr) {
        return nullptr;
    }
    const ragdollscene::Mat4 matrix = Matrix(NamedScene::InitialPose(desc), 0.0f);
    dgApiBodySetMatrix(body, matrix.data());
    if (desc.mass > 0.0f) {
        float inertia[3];
        SceneInertia(desc, inertia);
        dgApiBodySetMassMatrix(body, desc.mass, inertia[0], inertia[1], inertia[2]);
        dgApiBodySetForceAndTorqueCallback(body, ApplyGravity);
    }
    return body;
}

/// The terrain as a tree collision, one face per triangle, on a static body.
bool BuildTerrain(dgWorld* world, const SceneTerrain& terrain) {
    dgCollision* soup = dgApiTreeCollisionCreate(world, nullptr);
    if (soup == nullptr) {
        return false;
    }
    dgApiTreeCollisionBeginBuild(soup);
    for (size_t t = 0; t + 2 < terrain.indices.size(); t += 3) {
        float face[9];
        for (int k = 0; k < 3; k++) {
            const size_t v = 3 * static_cast<size_t>(terrain.indices[t + k]);
            for (int j = 0; j < 3; j++) {
                face[3 * k + j] = terrain.vertices[v + j];
            }
        }
        dgApiTreeCollisionAddFace(soup, 3, face, 3 * sizeof(float), 0);
    }
    dgApiTreeCollisionEndBuild(soup, 1);
    dgBody* body = dgApiBodyCreate(world, soup);
    dgApiCollisionRelease(world, soup);
    return body != nullptr;
}

/// One ragdoll per tree of bones, each bone's frame relative to its parent bone's; bodies gets the bone
/// bodies at their places, joints each scene joint's bone joint.
bool BuildRagdolls(dgWorld* world, const NamedScene& scene, std::vector<dgBody*>& bodies,
                   std::vector<dgJointBase*>& joints) {
    std::map<int, int> parentOf;
    for (const SceneJoint& joint : scene.joints) {
        parentOf[joint.child] = joint.parent;
    }
    std::vector<dgRagDollBone*> bones(scene.bodies.size(), nullptr);
    std::vector<ragdollscene::Mat4> frames(scene.bodies.size());
    dgRagDoll* ragdoll = nullptr;
    for (size_t i = 0; i < scene.bodies.size(); i++) {
        const SceneBody& desc = scene.bodies[i];
        if (desc.mass <= 0.0f) {
            continue;
        }
        const auto parent = parentOf.find(static_cast<int>(i));
        dgRagDollBone* parentBone = parent == parentOf.end() ? nullptr : bones[parent->second];
        if (parentBone == nullptr) {
            if (ragdoll != nullptr) {
                dgApiRagDollEnd(ragdoll);
            }
            ragdoll = dgApiRagDollCreate(world);
            if (ragdoll == nullptr) {
                return false;
            }
            dgApiRagDollBegin(ragdoll);
            dgApiRagDollSetForceAndTorqueCallback(ragdoll, ApplyGravity);
        }
        frames[i] = Matrix(NamedScene::InitialPose(desc), 0.5f * desc.size[0]);
        const ragdollscene::Mat4 local =
            parentBone == nullptr ? frames[i] : ragdollscene::Relative(frames[i], frames[parent->second]);
        dgCollision* shape =
            dgApiCollisionCreateBox(world, desc.size[0], desc.size[1], desc.size[2], nullptr);
        bones[i] = shape == nullptr ? nullptr
                                    : dgApiRagDollAddBone(ragdoll, parentBone, nullptr, desc.mass,
                                                          local.data(), shape, desc.size);
        dgApiCollisionRelease(world, shape);
        if (bones[i] == nullptr) {
            return false;
        }
        bodies[i] = dgApiRagDollBoneGetBody(bones[i]);
    }
    if (ragdoll != nullptr) {
        dgApiRagDollEnd(ragdoll);
    }
    for (const SceneJoint& joint : scene.joints) {
        joints.push_back(bones[joint.child]->m_joint);
    }
    return true;
}

/// Ball joints with their limits, and hinges.
bool BuildJoints(dgWorld* world, const std::vector<SceneJoint>& descs, const std::vector<dgBody*>& bodies,
                 std::vector<dgJointBase*>& joints) {
    for (const SceneJoint& desc : descs) {
        dgBody* parent = desc.parent < 0 ? nullptr : bodies[desc.parent];
        dgJointBase* joint =
            desc.kind == SceneJointKind::kHinge
                ? dgApiJointCreateHinge(world, desc.pivot, desc.pin, bodies[desc.child], parent)
                : dgApiJointCreateBall(world, desc.pivot, bodies[desc.child], parent);
        if (joint == nullptr) {
            return false;
        }
        if (desc.kind == SceneJointKind::kBall && (desc.coneAngle > 0.0f || desc.twistAngle > 0.0f)) {
            dgApiBallSetConeLimits(joint, desc.pin, desc.coneAngle, desc.twistAngle);
        }
        joints.push_back(joint);
    }
    return true;
}

} // namespace

bool BuildNamedScene(dgWorld* world, const NamedScene& scene, std::vector<dgBody*>& bodies,
                     std::vector<dgJointBase*>* joints) {
    bodies.clear();
    std::vector<dgJointBase*> built;
    if (world == nullptr) {
        return false;
    }
    const float worldMin[3] = {-500.0f, -500.0f, -500.0f};
    const float worldMax[3] = {500.0f, 500.0f, 500.0f};
    dgApiWorldSetSize(world, worldMin, worldMax);
    const int group = dgApiMaterialGetDefaultGroupId(world);
    dgApiMaterialSetDefaultFriction(world, group, group, kSceneFriction, kSceneFriction);
    dgApiMaterialSetDefaultElasticity(world, group, group, 0.0f);
    bodies.assign(scene.bodies.size(), nullptr);
    if (scene.ragdolls && !BuildRagdolls(world, scene, bodies, built)) {
        return false;
    }
    for (size_t i = 0; i < scene.bodies.size(); i++) {
        if (bodies[i] == nullptr) {
            bodies[i] = BuildBody(world, scene.bodies[i]);
            if (bodies[i] == nullptr) {
                return false;
            }
        }
    }
    if (!(scene.terrain.indices.empty() || BuildTerrain(world, scene.terrain)) ||
        !(scene.ragdolls || BuildJoints(world, scene.joints, bodies, built))) {
        return false;
    }
    if (joints != nullptr) {
        *joints = std::move(built);
    }
    return true;
}

#pragma once
// The reference car on a rolling tree-collision terrain (64 x 64 unit cells), its floor moved far below
// out of the way.

#include "SoupScenes.h"
#include "VehicleScenes.h"

#include "physics/dynamics/dgWorld.h"

#include <algorithm>

namespace vehiclescene {

struct TerrainCar : ControlledCar {
    dgBody* m_terrain = nullptr;

    /// The car at x on the line z = 0 heading +x, its lowest tire 1 cm above the ground.
    TerrainCar(float x, const Controls& controls) : ControlledCar(kDropHeight, controls) {
        dgApiBodySetMatrix(m_floor, jointscene::JointWorld::Translation({0.0f, -50.0f, 0.0f}).data());
        dgCollisionPolygonalSoup* terrain = MakeRollingTerrain(64);
        m_terrain = m_scene.m_world->CreateBody(terrain);
        dgRefRelease(terrain);
        float ground = -1.0e9f;
        for (const Vec3& p : kTirePositions) {
            ground = std::max(ground, RollingTerrainHeight(x + p[0], p[2]));
        }
        dgApiBodySetMatrix(m_chassis, jointscene::JointWorld::Translation({x, ground + kDropHeight, 0.0f}).data());
    }
};

} // namespace vehiclescene

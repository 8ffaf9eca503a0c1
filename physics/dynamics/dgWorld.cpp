#include "physics/dynamics/dgWorld.h"

#include "physics/core/dgMemory.h"

// Placeholder bodies until the world lands.

dgWorld::dgWorld() { m_broadPhase.Init(this); }
dgWorld::~dgWorld() = default;
bool dgWorld::IsValid() const { return true; }
void dgWorld::Update(dgFloat32 dt) { StepDynamics(dt); }
void dgWorld::StepDynamics(dgFloat32 dt) { m_timeStep = dt; }
void dgWorld::SetSimdMode(dgInt32) {}
void dgWorld::SetSolverModel(dgInt32 model) { m_solverModel = model; }
void dgWorld::SetFrictionThreshold(dgFloat32 threshold) { m_frictionThreshold = threshold; }
dgInt32 dgWorld::GetWorkAreaSize() { return 0; }
void* dgWorld::operator new(std::size_t size) { return dgMalloc(size); }
void dgWorld::operator delete(void* block) { dgFree(block); }

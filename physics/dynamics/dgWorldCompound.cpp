#include "physics/collision/dgCompoundCollision.h"
#include "physics/dynamics/dgWorld.h"

dgCompoundCollision* dgWorld::CreateCompound(dgInt32 count, dgCollision* const* children) {
    if (count < 0 || (count > 0 && children == nullptr)) {
        return nullptr;
    }
    for (dgInt32 i = 0; i < count; i++) {
        if (!dgCompoundCollision::AcceptsChild(children[i])) {
            return nullptr;
        }
    }
    return new dgCompoundCollision(count, children, this);
}

#include "platform/KernelState.h"

KernelState& KernelState::Instance() {
    static KernelState instance;
    return instance;
}

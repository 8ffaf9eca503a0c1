#include "platform/Win32Kernel.h"

#include "platform/FaultInjector.h"
#include "platform/KernelState.h"

#include <chrono>
#include <thread>

void Sleep(DWORD milliseconds) {
    TracedOperation call("Sleep", {milliseconds});
    call.Return(S_OK);
    if (!KernelState::Instance().RecordSleepsOnly()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

// A host built as a user of the library builds one: it is given only the headers the package installs,
// as the in-tree target Orvalen::orvalen shows them, never the source tree. It draws nothing; it makes a
// renderer with a 3D scene and lets everything go again.

#include "orvalen.h"
#include "platform/control.h"

#include <cstdio>

int main() {
    const char* name = "Public Headers Host";
    const HWND window = platform::CreateHostWindow(name, 64, 64);
    IOrvalenRenderer* renderer = nullptr;
    const bool made = window != nullptr && CreateOrvalenRenderer(0, &renderer) == 1;
    const bool initialised = made && renderer->Initialize(name, 64, 64, 0, false, true, false) == 1;
    const bool scene = initialised && renderer->Create3DInterface() == 1 && renderer->Interface3D != nullptr;
    if (scene) {
        renderer->Destroy3DInterface();
    }
    const bool destroyed = made && DestroyOrvalenRenderer(&renderer) == 1;
    platform::DestroyHostWindow(window);
    const bool released = platform::LiveObjectTotal() == 0;
    std::printf("renderer %d, initialised %d, 3D scene %d, destroyed %d, released %d\n", made, initialised,
                scene, destroyed, released);
    return made && initialised && scene && destroyed && released ? 0 : 1;
}

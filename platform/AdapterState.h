#pragma once
// The one display adapter of the machine, as the control API configures it, and the answers the
// Direct3D object gives from it.

#include "platform/control.h"

class AdapterState {
public:
    static AdapterState& Instance();

    const platform::AdapterConfiguration& Configuration() const { return m_configuration; }
    void Configure(const platform::AdapterConfiguration& configuration) { m_configuration = configuration; }

    bool OffersDepthStencil(D3DFORMAT format) const;
    bool OffersFullScreen(D3DFORMAT format) const;
    bool OffersMultisample(D3DFORMAT format, D3DMULTISAMPLE_TYPE type) const;
    /// Back-buffer formats a device can draw into at all.
    static bool IsBackBufferFormat(D3DFORMAT format);
    static bool IsDepthStencilFormat(D3DFORMAT format);

private:
    platform::AdapterConfiguration m_configuration = platform::DefaultAdapter();
};

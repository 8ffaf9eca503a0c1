#include "platform/AdapterState.h"

#include <algorithm>

AdapterState& AdapterState::Instance() {
    static AdapterState instance;
    return instance;
}

bool AdapterState::OffersDepthStencil(D3DFORMAT format) const {
    const auto& formats = m_configuration.depthStencilFormats;
    return IsDepthStencilFormat(format) && std::find(formats.begin(), formats.end(), format) != formats.end();
}

bool AdapterState::OffersFullScreen(D3DFORMAT format) const {
    const auto& formats = m_configuration.fullScreenFormats;
    return IsBackBufferFormat(format) && std::find(formats.begin(), formats.end(), format) != formats.end();
}

bool AdapterState::OffersMultisample(D3DFORMAT format, D3DMULTISAMPLE_TYPE type) const {
    if (type == D3DMULTISAMPLE_NONE) {
        return true;
    }
    for (const platform::MultisampleOffer& offer : m_configuration.multisampleOffers) {
        if (offer.format == format) {
            return std::find(offer.types.begin(), offer.types.end(), type) != offer.types.end();
        }
    }
    return type == D3DMULTISAMPLE_2_SAMPLES || type == D3DMULTISAMPLE_4_SAMPLES;
}

bool AdapterState::IsBackBufferFormat(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
        return true;
    default:
        return false;
    }
}

bool AdapterState::IsDepthStencilFormat(D3DFORMAT format) {
    switch (format) {
    case D3DFMT_D32:
    case D3DFMT_D15S1:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
    case D3DFMT_D16:
        return true;
    default:
        return false;
    }
}

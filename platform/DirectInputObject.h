#pragma once
// The DirectInput object: makes the system keyboard and mouse devices.

#include "platform/DirectInput8.h"

class DirectInputObject final : public IDirectInput8A {
public:
    DirectInputObject();

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT CreateDevice(REFGUID device, IDirectInputDevice8A** made, IUnknown* outer) override;

private:
    ~DirectInputObject() override;

    ULONG m_references = 1;
};

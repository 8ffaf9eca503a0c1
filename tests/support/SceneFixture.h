#pragma once
// A 3D scene as the host gets it: a started renderer of 800 x 600 on a stand-in window with a viewport,
// a projection, a camera at z = -10 looking at the origin, and the renderer's 3D interface.

#include "scene3d/IOrvalen3DD3D.h"
#include "scene3d/IOrvalen3DD3DObject.h"
#include "support/RendererFixture.h"

class SceneFixture : public CameraRendererFixture {
protected:
    void SetUp() override {
        CameraRendererFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_EQ(1, m_handle->Create3DInterface());
        m_scene = static_cast<IOrvalen3DD3D*>(m_handle->Interface3D);
        m_startLog = LogText();
    }

    void TearDown() override {
        if (m_handle != nullptr) {
            m_handle->Destroy3DInterface();
        }
        CameraRendererFixture::TearDown();
    }

    /// What the log gained since the fixture was set up.
    std::string NewLog() const { return LogText().substr(m_startLog.size()); }

    static IOrvalen3DD3DObject& Implementation(IOrvalen3DObject* object) {
        return *static_cast<IOrvalen3DD3DObject*>(object);
    }

    IOrvalen3DD3D* m_scene = nullptr;
    std::string m_startLog;
};

#pragma once
// A renderer test's world: its own working folder (the log is written to the current one, and tests
// run in parallel), a fresh platform recording its calls, a host window, and a renderer made through
// the export.
// Every test must end with all platform objects released.

#include "orvalen.h"
#include "platform/control.h"
#include "renderer/IOrvalenD3D.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

class RendererFixture : public ::testing::Test {
protected:
    static constexpr const char* kWindowName = "Orvalen Test";
    static constexpr const char* kLogName = "log_OrvalenRender.txt";

    void SetUp() override {
        char folder[] = "/tmp/orvalen_renderer_XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(folder));
        m_folder = folder;
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_folder);
        platform::ResetPlatform();
        // Renderer tests read the calls and draws the renderer made; a host never switches this on.
        platform::RecordCalls(true);
        m_window = platform::CreateHostWindow(kWindowName, 800, 600);
        ASSERT_EQ(1, CreateOrvalenRenderer(7, &m_handle));
    }

    void TearDown() override {
        if (m_handle != nullptr) {
            EXPECT_EQ(1, DestroyOrvalenRenderer(&m_handle));
        }
        platform::DestroyHostWindow(m_window);
        EXPECT_EQ(0, platform::LiveObjectTotal()) << "platform objects leaked";
        platform::ResetPlatform();
        std::filesystem::current_path(m_previous);
        std::filesystem::remove_all(m_folder);
    }

    IOrvalenD3D& Renderer() { return *static_cast<IOrvalenD3D*>(m_handle); }

    /// Windowed start-up of 800 x 600 with logging, stencil and no multisampling.
    int StartWindowed(bool log = true) {
        return m_handle->Initialize(kWindowName, 800, 600, 0, true, true, log);
    }

    /// StartWindowed, then one full viewport, a 45-degree projection from 1 to 1000 and a camera at
    /// z = -10 looking at the origin; fails the test when any of them fails.
    void StartWithCamera() {
        ASSERT_EQ(1, StartWindowed());
        ASSERT_TRUE(m_handle->CreateViewport(0, 0, 800, 600));
        ASSERT_TRUE(m_handle->SetProjection(D3DX_PI / 4, 1.0f, 1000.0f));
        ASSERT_TRUE(m_handle->SetCamera(0, 0, -10, 0, 0, 0, 0, 1, 0));
    }

    static bool LogExists() { return std::filesystem::exists(kLogName); }
    static std::string LogText() {
        std::ifstream file(kLogName);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }

    IOrvalenRenderer* m_handle = nullptr;
    HWND m_window = nullptr;
    std::filesystem::path m_folder;
    std::filesystem::path m_previous;
};

/// A renderer started by StartWithCamera.
class CameraRendererFixture : public RendererFixture {
protected:
    void SetUp() override {
        RendererFixture::SetUp();
        if (!HasFatalFailure()) {
            StartWithCamera();
        }
    }
};

// Viewports, projection and camera of the renderer.
#include "renderer/IOrvalenD3D.h"

#include <cmath>

namespace {

bool IsFinite(const D3DXMATRIX& matrix) {
    for (const auto& row : matrix.m) {
        for (const float value : row) {
            if (!std::isfinite(value)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

D3DVIEWPORT9 IOrvalenD3D::ViewportOf(const ViewportRect& rect) {
    // Widened first: the difference of two host integers may not fit 32 bits. A negative extent
    // wraps to a huge one, which the device refuses.
    const auto width = static_cast<std::uint32_t>(static_cast<std::int64_t>(rect.right) - rect.left);
    const auto height = static_cast<std::uint32_t>(static_cast<std::int64_t>(rect.bottom) - rect.top);
    return {static_cast<std::uint32_t>(rect.left),
            static_cast<std::uint32_t>(rect.top),
            width,
            height,
            0.0f,
            1.0f};
}

bool IOrvalenD3D::GiveViewport(const ViewportRect& rect) {
    // Viewport stays the one the device has: the projection's aspect, unprojected 2D positions and
    // the reset road all take it from there.
    const D3DVIEWPORT9 viewport = ViewportOf(rect);
    if (Device == nullptr || FAILED(Device->SetViewport(&viewport))) {
        return false;
    }
    Viewport = viewport;
    return true;
}

bool IOrvalenD3D::CreateViewport(std::int32_t left, std::int32_t top, std::int32_t right,
                                 std::int32_t bottom) {
    Log("Creating Viewport...");
    if (ViewportCount >= kMaxViewports) {
        LogHardFailure("ERROR: Already Maximum Number Created; Modify an Existing One\n");
        return false;
    }
    const std::int32_t index = ViewportCount;
    Log("Viewport #%d: <%d, %d>, <%d, %d>\n", index, left, top, right, bottom);
    ViewportRects[index] = {top, left, bottom, right};
    ++ViewportCount;
    CurrentViewportIndex = index;
    if (!GiveViewport(ViewportRects[index])) {
        LogHardFailure("ERROR: Couldn't Set Viewport\n");
        return false;
    }
    Log("Viewport Created\n");
    return true;
}

bool IOrvalenD3D::SetViewportRect(std::int32_t index, std::int32_t left, std::int32_t top, std::int32_t right,
                                  std::int32_t bottom) {
    if (index < 0 || index >= kMaxViewports) {
        LogHardFailure("Viewport #%d Doesn't Exist\n", index);
        return false;
    }
    ViewportRects[index] = {top, left, bottom, right};
    return true;
}

bool IOrvalenD3D::SelectViewport(std::int32_t index) {
    if (index < 0 || index >= kMaxViewports) {
        LogHardFailure("Viewport #%d Doesn't Exist\n", index);
        return false;
    }
    CurrentViewportIndex = index;
    if (!GiveViewport(ViewportRects[index])) {
        Log("ERROR: Couldn't Set Viewport #%d\n", index);
        return false;
    }
    return true;
}

std::int32_t IOrvalenD3D::GetCurrentViewport() {
    return CurrentViewportIndex;
}

std::int32_t IOrvalenD3D::GetViewportCount() {
    return ViewportCount;
}

bool IOrvalenD3D::SetProjection(float fieldOfView, float nearPlane, float farPlane) {
    // An empty viewport has no aspect ratio; the matrix in use stays rather than turning into NaN.
    const bool hasAspect = Viewport.Width != 0 && Viewport.Height != 0;
    const float aspect =
        hasAspect ? static_cast<float>(static_cast<double>(Viewport.Width) / Viewport.Height) : 1.0f;
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, fieldOfView, aspect, nearPlane, farPlane);
    // Planes that meet, a view of no angle or an argument that is no number give infinities or NaN,
    // which would spread into every unprojected 2D position and every render target made afterwards.
    if (!IsFinite(projection)) {
        Log("ERROR: Couldn't Set Projection <%.2f, %.2f, %.2f>\n", fieldOfView, nearPlane, farPlane);
        return false;
    }
    FieldOfView = fieldOfView;
    NearPlane = nearPlane;
    FarPlane = farPlane;
    if (hasAspect) {
        ProjectionMatrix = projection;
    }
    if (!hasAspect || Device == nullptr ||
        FAILED(Device->SetTransform(D3DTS_PROJECTION, &ProjectionMatrix))) {
        Log("ERROR: Couldn't Set Projection <%.2f, %.2f, %.2f>\n", fieldOfView, nearPlane, farPlane);
        return false;
    }
    return true;
}

D3DXMATRIX IOrvalenD3D::GetProjectionMatrix() {
    return RenderTargetProjection != nullptr ? *RenderTargetProjection : ProjectionMatrix;
}

bool IOrvalenD3D::ApplyCamera(const D3DXVECTOR3& position, const D3DXVECTOR3& target, const D3DXVECTOR3& up) {
    D3DXMatrixLookAtLH(&ViewMatrix, &position, &target, &up);
    const D3DXVECTOR3* kept[] = {&position, &target, &up};
    float* destinations[] = {CameraPosition, CameraTarget, CameraUp};
    for (int i = 0; i < 3; ++i) {
        destinations[i][0] = kept[i]->x;
        destinations[i][1] = kept[i]->y;
        destinations[i][2] = kept[i]->z;
    }
    if (Device == nullptr || FAILED(Device->SetTransform(D3DTS_VIEW, &ViewMatrix))) {
        Log("ERROR: Couldn't Set Camera Pos <%.2f, %.2f, %.2f>, Target <%.2f, %.2f, %.2f>, Up <%.2f, %.2f, "
            "%.2f>\n",
            position.x, position.y, position.z, target.x, target.y, target.z, up.x, up.y, up.z);
        return false;
    }
    return true;
}

bool IOrvalenD3D::SetCamera(D3DXVECTOR3 position, D3DXVECTOR3 target, D3DXVECTOR3 up) {
    return ApplyCamera(position, target, up);
}

bool IOrvalenD3D::SetCamera(float px, float py, float pz, float tx, float ty, float tz, float ux, float uy,
                            float uz) {
    return ApplyCamera({px, py, pz}, {tx, ty, tz}, {ux, uy, uz});
}

void IOrvalenD3D::GetCamera(float* position, float* target, float* up) {
    const float* sources[] = {CameraPosition, CameraTarget, CameraUp};
    float* destinations[] = {position, target, up};
    for (int i = 0; i < 3; ++i) {
        if (destinations[i] != nullptr) {
            for (int axis = 0; axis < 3; ++axis) {
                destinations[i][axis] = sources[i][axis];
            }
        }
    }
}

D3DXMATRIX IOrvalenD3D::GetViewMatrix() {
    return ViewMatrix;
}

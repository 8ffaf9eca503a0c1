// Key-frame animation of the 3D object: complete vertex arrays as key frames, named frame ranges, and
// the update that steps whole frames at the object's speed and blends the positions and normals of the
// two frames it stands between into the vertices that are drawn.
#include "scene3d/IOrvalen3DD3DObject.h"

#include <cmath>
#include <cstring>
#include <new>

namespace {

/// More whole steps than this in one update are counted as this many: no loop of the frame rule can
/// tell them apart, and the frame arithmetic stays far inside 64 bits.
constexpr double kMaxSteps = 1073741824.0;

/// Whole steps of `step` seconds taken from `time` while more than one step's time is left, and the
/// time left, as repeated subtraction would give them: exactly one step's time does not advance, so
/// the time left lies in (0, step] after any step.
struct StepCount {
    std::int64_t steps = 0;
    double left = 0.0;
};

StepCount CountSteps(double time, double step) {
    if (!(time > step)) {
        return {0, time};
    }
    double left = std::fmod(time, step);
    if (left == 0.0) {
        left = step;
    }
    const double steps = std::round((time - left) / step);
    return {static_cast<std::int64_t>(steps < kMaxSteps ? steps : kMaxSteps), left};
}

float Blend(float a, float b, float t) {
    return a + (b - a) * t;
}

} // namespace

bool IOrvalen3DD3DObject::CreateAnimation(std::int32_t frameCount, Vertex3D** frames) {
    if (frameCount <= 0 || frames == nullptr) {
        return false;
    }
    const auto vertices = static_cast<std::size_t>(VertexCount);
    std::unique_ptr<std::unique_ptr<Vertex3D[]>[]> keyFrames(
        new (std::nothrow) std::unique_ptr<Vertex3D[]>[static_cast<std::size_t>(frameCount)]);
    if (keyFrames == nullptr) {
        return false;
    }
    for (std::int32_t frame = 0; frame < frameCount; ++frame) {
        if (frames[frame] == nullptr && vertices > 0) {
            return false;
        }
        keyFrames[frame].reset(new (std::nothrow) Vertex3D[vertices]);
        if (keyFrames[frame] == nullptr) {
            return false;
        }
        if (vertices > 0) {
            std::memcpy(keyFrames[frame].get(), frames[frame], vertices * sizeof(Vertex3D));
        }
    }
    KeyFrames = std::move(keyFrames);
    KeyFrameCount = frameCount;
    AnimationTime = 0.0f;
    AnimationSpeed = 1.0f;
    CurrentFrame = 0;
    NextFrame = 0;
    return true;
}

bool IOrvalen3DD3DObject::AddAnimation(std::int32_t start, std::int32_t end, const char* name) {
    // A range names key frames that exist, in order; names keep their terminator in the record.
    if (start < 0 || end < start || end >= KeyFrameCount || AnimationCount >= kMaxAnimations ||
        name == nullptr || ::strnlen(name, kNameBytes) >= kNameBytes) {
        return false;
    }
    if (Animations == nullptr) {
        Animations.reset(new (std::nothrow) std::unique_ptr<AnimationRange>[kMaxAnimations]);
    }
    std::unique_ptr<AnimationRange> range(new (std::nothrow) AnimationRange);
    if (Animations == nullptr || range == nullptr) {
        return false;
    }
    range->Start = start;
    range->End = end;
    std::strcpy(range->Name, name);
    Animations[AnimationCount++] = std::move(range);
    return true;
}

void IOrvalen3DD3DObject::SetAnimationSpeed(float framesPerSecond) {
    AnimationSpeed = framesPerSecond;
}

float IOrvalen3DD3DObject::GetAnimationSpeed() {
    return AnimationSpeed;
}

void IOrvalen3DD3DObject::SetLooping(bool looping) {
    Looping = looping;
}

bool IOrvalen3DD3DObject::IsLooping() {
    return Looping;
}

bool IOrvalen3DD3DObject::SetAnimation(const char* name) {
    for (std::int32_t i = 0; name != nullptr && i < AnimationCount; ++i) {
        const AnimationRange& range = *Animations[i];
        if (std::strcmp(range.Name, name) == 0) {
            // The current frame stays: the first step blends from wherever the object was.
            StartFrame = range.Start;
            NextFrame = CurrentFrame == StartFrame ? StartFrame + 1 : StartFrame;
            EndFrame = range.End;
            AnimationTime = 0.0f;
            return true;
        }
    }
    return false;
}

void IOrvalen3DD3DObject::StepFrames(std::int64_t steps) {
    CurrentFrame = NextFrame;
    std::int64_t next = std::int64_t{CurrentFrame} + steps;
    if (next >= EndFrame) {
        if (Looping) {
            const std::int64_t length = std::int64_t{EndFrame} - StartFrame + 1;
            // The remainder truncates toward zero, as the frame rule takes it.
            next = (next - StartFrame) % length + StartFrame;
            if (next == CurrentFrame) {
                next =
                    std::int64_t{CurrentFrame} + 1 >= EndFrame ? StartFrame : std::int64_t{CurrentFrame} + 1;
            }
        } else {
            next = EndFrame;
            CurrentFrame = EndFrame;
        }
    }
    NextFrame = static_cast<std::int32_t>(next);
}

bool IOrvalen3DD3DObject::UpdateAnimation(float elapsed) {
    if (KeyFrameCount <= 0) {
        return true;
    }
    // A time that no longer is a number would never count a step again: such an update is dropped.
    const float time = AnimationTime + elapsed;
    if (std::isfinite(time)) {
        AnimationTime = time;
    }
    float t = 0.0f;
    // Without a positive, finite speed no step is ever whole.
    if (AnimationSpeed > 0.0f && std::isfinite(AnimationSpeed)) {
        const float step = 1.0f / AnimationSpeed;
        const StepCount counted = CountSteps(AnimationTime, step);
        if (counted.steps > 0) {
            AnimationTime = static_cast<float>(counted.left);
            StepFrames(counted.steps);
        }
        t = AnimationTime * AnimationSpeed;
    }
    BlendFrames(t);
    VerticesChanged = true;
    return true;
}

void IOrvalen3DD3DObject::BlendFrames(float t) {
    // Ranges refer to the frames of their own time: frames made again may be fewer.
    if (CurrentFrame < 0 || CurrentFrame >= KeyFrameCount || NextFrame < 0 || NextFrame >= KeyFrameCount ||
        Vertices == nullptr) {
        return;
    }
    const Vertex3D* a = KeyFrames[CurrentFrame].get();
    const Vertex3D* b = KeyFrames[NextFrame].get();
    for (std::int32_t i = 0; i < VertexCount; ++i) {
        Vertex3D& out = Vertices[i];
        out.x = Blend(a[i].x, b[i].x, t);
        out.y = Blend(a[i].y, b[i].y, t);
        out.z = Blend(a[i].z, b[i].z, t);
        // Not renormalised: halfway between two unit normals is shorter than one.
        out.nx = Blend(a[i].nx, b[i].nx, t);
        out.ny = Blend(a[i].ny, b[i].ny, t);
        out.nz = Blend(a[i].nz, b[i].nz, t);
        out.u0 = b[i].u0;
        out.v0 = b[i].v0;
    }
}

void IOrvalen3DD3DObject::SetAnimationTime(float time) {
    AnimationTime = 0.0f;
    UpdateAnimation(time);
}

float IOrvalen3DD3DObject::GetAnimationTime() {
    return AnimationTime;
}

bool IOrvalen3DD3DObject::StartAnimation(const char* name) {
    if (!SetAnimation(name)) {
        return false;
    }
    Playing = true;
    return true;
}

void IOrvalen3DD3DObject::PauseAnimation() {
    Playing = false;
}

void IOrvalen3DD3DObject::PlayAnimation() {
    Playing = true;
}

void IOrvalen3DD3DObject::RewindAnimation() {
    CurrentFrame = StartFrame;
    Playing = false;
}

bool IOrvalen3DD3DObject::IsAnimationFinished() {
    return CurrentFrame >= EndFrame;
}

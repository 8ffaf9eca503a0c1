#pragma once
// Random sequences of device calls that hold the device's cheaper draw path to the pixels of its
// reference path: the same choices, run once with each path, must read back the same, bit for bit.
// A sequence reaches everything a device takes: render and sampler states with valid values,
// transforms, viewports, materials and lights, vertex formats, draws of every primitive type from
// memory and from vertex buffers of every pool, textures loaded, keyed, made and released while bound,
// render targets, clears, text, read-backs inside and outside scenes, presentation, device loss and
// reset, and a second device drawing in between.

#include <cstdint>
#include <string>
#include <vector>

namespace device_sequence {

/// Where a sequence takes its choices from.
class Choices {
public:
    virtual ~Choices() = default;
    /// A number below `count` (which is at least 1).
    virtual std::uint32_t Below(std::uint32_t count) = 0;
    /// Whether the choices have run out; the sequence then ends.
    virtual bool Exhausted() const = 0;
};

/// Choices from a seeded generator, which never run out.
class SeededChoices final : public Choices {
public:
    explicit SeededChoices(std::uint32_t seed) : m_state(seed * 2654435761u + 1u) {}
    std::uint32_t Below(std::uint32_t count) override;
    bool Exhausted() const override { return false; }

private:
    std::uint64_t m_state;
};

/// What one run did: every call with its result, and every read-back with the call that made it.
struct Run {
    struct Reading {
        std::size_t call = 0; ///< index into calls
        std::vector<std::uint32_t> values;
    };
    std::vector<std::string> calls;
    std::vector<Reading> readings;
};

/// Makes a window and a device of 64 x 48 with depth and stencil, a second device of 40 x 30 with depth
/// only, and runs up to `calls` calls chosen by `choices`, writing its image files into `folder`.
/// Everything made is released before it returns.
Run RunSequence(Choices& choices, int calls, const std::string& folder);

/// Empty when both runs made the same calls with the same results and read back the same; otherwise
/// where they first part and the calls that led there.
std::string FirstDifference(const Run& cheaper, const Run& reference);

} // namespace device_sequence

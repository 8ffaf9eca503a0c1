// Sequences of device calls chosen by the fuzzer's bytes, each run twice: with the device's cheaper draw
// path and without it. The runs must make the same calls with the same results and read back the same
// pixels, depths and stencil counts, bit for bit; where they part is printed and the run ends.

#include "DeviceCallSequence.h"
#include "FuzzByteReader.h"
#include "platform/control.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

/// Choices from the input's bytes: one byte for a choice among few, four for more.
class ByteChoices final : public device_sequence::Choices {
public:
    ByteChoices(const std::uint8_t* data, std::size_t size) : m_input(data, size) {}
    std::uint32_t Below(std::uint32_t count) override {
        return (count <= 256 ? m_input.Byte() : m_input.Word()) % count;
    }
    bool Exhausted() const override { return m_input.Done(); }

private:
    fuzz_support::Input m_input;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = [] {
        const std::filesystem::path path =
            std::filesystem::temp_directory_path() / "orvalen_device_call_sequence";
        std::filesystem::create_directories(path);
        return path.string();
    }();
    constexpr int kCalls = 400;
    ByteChoices cheaperChoices(data, size);
    const device_sequence::Run cheaper = device_sequence::RunSequence(cheaperChoices, kCalls, folder);
    platform::UseCheaperDrawPath(false);
    ByteChoices referenceChoices(data, size);
    const device_sequence::Run reference = device_sequence::RunSequence(referenceChoices, kCalls, folder);
    platform::UseCheaperDrawPath(true);
    const std::string difference = device_sequence::FirstDifference(cheaper, reference);
    if (!difference.empty()) {
        std::fprintf(stderr, "%s\n", difference.c_str());
        std::abort();
    }
    return 0;
}

#include "PeerBackend.h"

namespace {
class DgApiBackend final : public PeerBackend {
public:
    const char* Name() const override { return "dgApi"; }
    bool Build(const PeerScene&) override { return false; }
    void Step(float) override {}
    void GetPoses(std::vector<PeerPose>&) const override {}
    int ContactCount() const override { return 0; }
    int SleepingCount() const override { return 0; }
};
} // namespace

std::unique_ptr<PeerBackend> MakeDgApiBackend() {
    return std::make_unique<DgApiBackend>();
}

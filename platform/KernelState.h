#pragma once
// What the control API has asked of the kernel services: whether Sleep really waits.

class KernelState {
public:
    static KernelState& Instance();

    bool RecordSleepsOnly() const { return m_recordSleepsOnly; }
    void SetRecordSleepsOnly(bool on) { m_recordSleepsOnly = on; }

private:
    bool m_recordSleepsOnly = false;
};

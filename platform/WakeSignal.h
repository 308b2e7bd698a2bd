#pragma once

namespace platform {

// A descriptor that one thread makes readable to wake another out of a wait on
// several descriptors. Signal never blocks; signals that pile up count as one.
class WakeSignal {
public:
    WakeSignal();
    ~WakeSignal();
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    // -1 when the descriptor could not be made; Signal then does nothing and the
    // waiter falls back on its timeout.
    int Handle() const { return m_handle; }
    void Signal() const;
    // Makes the descriptor unreadable again; call before looking at what was signalled.
    void Clear() const;

private:
    int m_handle;
};

} // namespace platform

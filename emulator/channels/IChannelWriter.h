#pragma once

#include <cstdint>

// Serial line configuration handed to SetSerialState. Only speed, data bits and stop
// bits are ever set; parity and flow control stay as the port has them.
struct DCB {
    std::uint32_t BaudRate = 0;  // bits per second
    std::uint8_t ByteSize = 8;   // data bits
    std::uint8_t StopBits = 0;   // ONESTOPBIT or TWOSTOPBITS
};
inline constexpr std::uint8_t ONESTOPBIT = 0;
inline constexpr std::uint8_t TWOSTOPBITS = 2;

// The output channel: a pure interface. Every writer owns a manual-reset stop event
// that, once set, tells the rest of the program the channel is finished or has failed.
// Objects are created with new and destroyed only through Release.
struct IChannelWriter {
    virtual bool Open(const char* target) = 0;
    virtual bool Write(const char* data, std::uint32_t count) = 0;
    virtual bool Close() = 0;
    virtual bool Flush() = 0;
    virtual void Release() = 0;
    virtual bool SetSerialState(DCB state) = 0;
    // True while the writer's stop event is not signalled.
    virtual bool IsAlive() = 0;

protected:
    ~IChannelWriter() = default;
};

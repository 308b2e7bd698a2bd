#pragma once

// Start and stop of the vessel model: Start opens the output channel and starts the
// simulation thread, Stop ends the thread and closes the channel.
class IModelControl {
public:
    virtual void Start() = 0;
    virtual void Stop() = 0;

protected:
    ~IModelControl() = default;
};

#pragma once

#include <QObject>
#include <array>
#include <csignal>
#include <functional>

#include "platform/ChildProcess.h"

class QSocketNotifier;

// Turns the signals with which a desktop session ends a program (SIGTERM, SIGHUP, SIGINT) into
// a call of `onSignal` on the thread that owns this object, through a pipe that the handler
// writes to. A signal ignored when it comes (nohup's SIGHUP) stays ignored. One at a time; the
// default reactions come back when it goes.
inline constexpr int kStopSignals[] = {SIGTERM, SIGHUP, SIGINT};

class CStopSignalWatcher : public QObject {
public:
    explicit CStopSignalWatcher(std::function<void()> onSignal, QObject* parent = nullptr);
    ~CStopSignalWatcher() override;
    CStopSignalWatcher(const CStopSignalWatcher&) = delete;
    CStopSignalWatcher& operator=(const CStopSignalWatcher&) = delete;

    // False when no pipe could be made; the signals then keep their default reactions.
    bool IsWatching() const { return m_read.IsOpen(); }

private:
    void OnReadable();

    std::function<void()> m_onSignal;
    platform::FileHandle m_read;
    platform::FileHandle m_write;
    QSocketNotifier* m_notifier = nullptr;   // a child of this object
    std::array<bool, std::size(kStopSignals)> m_ignoredAtStart = {};
};

#pragma once
// The connection settings: one process-wide object, read by request workers
// under its lock.

#include <QString>

#include <mutex>

class TSettings {
public:
    QString Server;
    bool TLS = false;
    int Port = 0;
    QString User;
    QString Pass;

    // The settings lock. Workers hold it while they read the connection
    // fields, the settings dialog while it copies them in and out; it is
    // never held during network traffic or together with another lock.
    std::mutex &Monitor() const { return FMonitor; }

private:
    mutable std::mutex FMonitor;
};

// The process-wide settings object.
TSettings &Settings();

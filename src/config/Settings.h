#pragma once
// The connection settings: one process-wide object, read by request workers
// under its lock, stored in settings.ini in the component text format.

#include "config/Persistent.h"

#include <QString>
#include <mutex>

// The saved layout of one column of the playlist list (item i is list column i).
class TMyColumn : public TCollectionItem {
public:
    qint32 Width = 0;
    qint32 Pos = -1; // display position, 0 = leftmost
    bool Visible = false;

    const TPropTable &Properties() const override;
    QString ClassName() const override;
};

class TMyColumns : public TOwnedCollection<TMyColumn> {};

class TSettings : public TPersistent {
public:
    QString Server;
    bool TLS = false;
    qint32 Port = 0;
    QString User;
    QString Pass;            // stored in the file in clear text, hence the owner-only file
    TMyColumns PlaylistCols; // main thread only, not guarded by the lock

    // The settings lock. Workers hold it while they read the connection
    // fields, the settings dialog while it copies them in and out; it is
    // never held during network traffic or together with another lock.
    std::mutex &Monitor() const { return FMonitor; }

    const TPropTable &Properties() const override;
    QString ClassName() const override;

    // Overlays the values held by the settings file. A missing file changes
    // nothing; a file that cannot be read or parsed is reported once, and the
    // values read before the failure stay. Takes no lock: it runs before the
    // first request worker starts.
    void Read(const QString &AFileName);

    // Writes the settings file, replacing it atomically, readable by its owner
    // only. A failure is reported and leaves the previous file whole.
    void Save(const QString &AFileName) const;

private:
    mutable std::mutex FMonitor;
};

// The process-wide settings object.
TSettings &Settings();

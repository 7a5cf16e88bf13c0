#pragma once
// What the tests of the scan share: our test plug-ins, the real scanning
// helper, and a wrapper around it that logs every probe it runs.

#include "support/QStringPrinter.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

inline QString TestPlugin(const QString &AName) {
    return QStringLiteral(VOCARRA_TEST_PLUGINS "/test-%1.so").arg(AName);
}

inline QString ScanHelper() {
    return QStringLiteral(VOCARRA_VSTSCAN_PATH);
}

// Copies test plug-in AName to AFolder (created as needed) under AFileName,
// or its own file name; returns the copy's path.
inline QString CopyTestPlugin(const QString &AName, const QString &AFolder,
                              const QString &AFileName = QString()) {
    QDir().mkpath(AFolder);
    const QString target =
        AFolder + u'/' +
        (AFileName.isEmpty() ? QStringLiteral("test-%1.so").arg(AName) : AFileName);
    QFile::remove(target);
    EXPECT_TRUE(QFile::copy(TestPlugin(AName), target)) << target.toStdString();
    return target;
}

// A program in AFolder that notes each start (its last argument, the file)
// in a log and then runs the real helper in its place.
class TLoggingHelper {
public:
    explicit TLoggingHelper(const QString &AFolder)
        : FProgram(AFolder + QStringLiteral("/logging-vstscan")),
          FLog(AFolder + QStringLiteral("/probes.log")) {
        QFile script(FProgram);
        EXPECT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nfor last; do :; done\n"
                                    "printf '%s\\n' \"$last\" >> '%1'\nexec '%2' \"$@\"\n")
                         .arg(FLog, ScanHelper())
                         .toUtf8());
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                              QFileDevice::ExeOwner);
    }

    const QString &Program() const { return FProgram; }

    // The files probed so far, in the order the probes started.
    QStringList Probed() const {
        QFile log(FLog);
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QString FProgram;
    QString FLog;
};

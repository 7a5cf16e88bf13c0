#pragma once
// Shared pieces of the configuration tests: the message boxes a test caused,
// injected write failures, a temporary folder kept when a test fails.

#include "config/AtomicFile.h"
#include "core/MessageBox.h"
#include "support/QStringPrinter.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

inline void PrintTo(const QByteArray &ABytes, std::ostream *AOut) {
    *AOut << '"' << ABytes.toStdString() << '"';
}

struct TShownMessage {
    QString Text;
    QString Caption;
    int Flags = 0;
};

// Collects the boxes shown while it lives.
class TMessageCapture {
public:
    TMessageCapture() {
        SetMessageBoxPresenter([this](const QString &AText, const QString &ACaption, int AFlags) {
            Shown.push_back({AText, ACaption, AFlags});
            return 0;
        });
    }
    ~TMessageCapture() { SetMessageBoxPresenter(nullptr); }
    TMessageCapture(const TMessageCapture &) = delete;
    TMessageCapture &operator=(const TMessageCapture &) = delete;

    std::vector<TShownMessage> Shown;
};

// Makes one step of every atomic write fail with AErrno while it lives.
class TWriteFault {
public:
    TWriteFault(TWriteStep AStep, int AErrno) {
        SetWriteFaultHook(
            [AStep, AErrno](TWriteStep AAt, const QString &) { return AAt == AStep ? AErrno : 0; });
    }
    ~TWriteFault() { SetWriteFaultHook(nullptr); }
    TWriteFault(const TWriteFault &) = delete;
    TWriteFault &operator=(const TWriteFault &) = delete;
};

// A fixture with its own folder, kept for a look when the test fails.
class TTempDirTest : public ::testing::Test {
protected:
    void TearDown() override { FDir.setAutoRemove(!HasFailure()); }

    QString Path(const QString &AName) const { return FDir.filePath(AName); }

    void WriteBytes(const QString &AName, const QByteArray &ABytes) const {
        QFile file(Path(AName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(ABytes), ABytes.size());
    }

    QByteArray ReadBytes(const QString &AName) const {
        QFile file(Path(AName));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The names in the folder, to see that no temporary file is left behind.
    QStringList Entries() const {
        return QDir(FDir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    QTemporaryDir FDir;
};

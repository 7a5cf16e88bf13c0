#pragma once
// Failures of the configuration files. They are raised inside an operation and
// caught at its boundary, where the caller decides whether and how to report.

#include <QByteArray>
#include <QString>
#include <exception>

class EConfigError : public std::exception {
public:
    explicit EConfigError(const QString &AMessage);

    const QString &Message() const { return FMessage; }
    const char *what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};

// A file could not be opened, read, created or written. Errno is the system's
// error code, so callers can tell a missing folder from a refused write.
class EFileError : public EConfigError {
public:
    EFileError(const QString &AMessage, int AErrno);

    int Errno() const { return FErrno; }

private:
    int FErrno;
};

// A component text that does not follow the grammar; the message names the line.
class EParserError : public EConfigError {
public:
    EParserError(const QString &AReason, int ALine);

    const QString &Reason() const { return FReason; }
    int Line() const { return FLine; }

private:
    QString FReason;
    int FLine;
};

// The system's text for an error code ("Permission denied").
QString SystemErrorText(int AErrno);

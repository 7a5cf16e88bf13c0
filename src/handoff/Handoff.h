#pragma once
// micdeck hands a finished take to the running Vocarra over a local socket.
// One Vocarra per user and data directory listens; the name says both, so
// two presenters on one machine, or one presenter with two stations, never
// reach each other's window. One request line, one reply line:
//   "insert\t<absolute path, UTF-8>\n"  ->  "ok\n" | "error\t<text>\n" | "busy\n"

#include <QByteArray>
#include <QString>
#include <optional>

// "vocarra-" + AUserId + "-" + a short hash of the data directory; the same
// directory written with or without its trailing slash gives the same name.
QString HandoffServerName(unsigned AUserId, const QString &ADataDir);
// For the user running this process.
QString HandoffServerName(const QString &ADataDir);

// A line longer than this is not a request: the reader gives up on it.
constexpr qsizetype KHandoffMaxLine = 64 * 1024;

QByteArray InsertRequestLine(const QString &AFileName);
// The file of an insert request line (with or without its line end);
// nothing when the line is anything else.
std::optional<QString> ParseInsertRequest(QByteArray ALine);

enum THandoffAnswer { haOk, haError, haBusy };

struct THandoffReply {
    THandoffAnswer Answer = haError;
    QString Text; // the reason of haError
    bool operator==(const THandoffReply &) const = default;
};

QByteArray ReplyLine(const THandoffReply &AReply);
// Nothing when the line is no reply.
std::optional<THandoffReply> ParseReply(QByteArray ALine);

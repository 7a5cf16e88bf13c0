#include "handoff/Handoff.h"

#include <QCryptographicHash>
#include <QDir>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray KInsert = "insert\t"_ba;
const QByteArray KError = "error\t"_ba;

void ChopLineEnd(QByteArray &ALine) {
    if (ALine.endsWith('\n'))
        ALine.chop(1);
}

} // namespace

QString HandoffServerName(unsigned AUserId, const QString &ADataDir) {
    const QByteArray path = QDir::cleanPath(QDir(ADataDir).absolutePath()).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(path, QCryptographicHash::Sha256).toHex();
    return u"vocarra-%1-%2"_s.arg(AUserId).arg(QString::fromLatin1(hash.left(12)));
}

QString HandoffServerName(const QString &ADataDir) {
    return HandoffServerName(static_cast<unsigned>(::getuid()), ADataDir);
}

QByteArray InsertRequestLine(const QString &AFileName) {
    return KInsert + AFileName.toUtf8() + '\n';
}

std::optional<QString> ParseInsertRequest(QByteArray ALine) {
    ChopLineEnd(ALine);
    if (!ALine.startsWith(KInsert))
        return std::nullopt;
    const QByteArray path = ALine.mid(KInsert.size());
    // A relative name would be resolved against the wrong program's folder.
    if (path.isEmpty() || path.contains('\n') || !path.startsWith('/'))
        return std::nullopt;
    return QString::fromUtf8(path);
}

QByteArray ReplyLine(const THandoffReply &AReply) {
    switch (AReply.Answer) {
    case haOk:
        return "ok\n"_ba;
    case haBusy:
        return "busy\n"_ba;
    case haError:
        break;
    }
    // The reason is one line, whatever the station or the file system said.
    QString text = AReply.Text;
    text.replace(u'\n', u' ').replace(u'\r', u' ');
    return KError + text.toUtf8() + '\n';
}

std::optional<THandoffReply> ParseReply(QByteArray ALine) {
    ChopLineEnd(ALine);
    if (ALine == "ok")
        return THandoffReply{haOk, {}};
    if (ALine == "busy")
        return THandoffReply{haBusy, {}};
    if (ALine.startsWith(KError))
        return THandoffReply{haError, QString::fromUtf8(ALine.mid(KError.size()))};
    return std::nullopt;
}

#include "app/micdeck/InsertTake.h"

#include "config/DataDirs.h"
#include "core/PrintableText.h"
#include "handoff/Handoff.h"

#include <QFileInfo>
#include <QLocalSocket>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// Vocarra answers as soon as the upload started, not when it ends.
constexpr int KConnectMs = 5000;
constexpr int KReplyMs = 30000;

void Print(FILE *AStream, const QString &AText) {
    const QByteArray bytes = PrintableText(AText, pmLines).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), AStream);
}

QString KeptText(const QString &AFileName) {
    return u"the take is kept: %1"_s.arg(AFileName);
}

} // namespace

int RunInsertTake(const QStringList &AArguments) {
    if (AArguments.size() != 2 || AArguments[0] != u"--insert") {
        Print(stderr, u"micdeck: usage: micdeck --insert FILE\n"_s);
        return 2;
    }
    const QFileInfo info(AArguments[1]);
    const QString fileName = info.absoluteFilePath();
    if (!info.isFile()) {
        Print(stderr, u"micdeck: no such take: %1\n"_s.arg(fileName));
        return 1;
    }
    const QString dataDir = ResolveDataDir(ProgramDir(), SystemBaseFolders()).DataDir;
    QLocalSocket socket;
    socket.connectToServer(HandoffServerName(dataDir));
    if (!socket.waitForConnected(KConnectMs)) {
        Print(stderr, u"Vocarra is not running; %1\n"_s.arg(KeptText(fileName)));
        return 1;
    }
    socket.write(InsertRequestLine(fileName));
    while (!socket.canReadLine() && socket.state() == QLocalSocket::ConnectedState)
        if (!socket.waitForReadyRead(KReplyMs))
            break;
    const std::optional<THandoffReply> reply =
        socket.canReadLine() ? ParseReply(socket.readLine(KHandoffMaxLine)) : std::nullopt;
    if (!reply) {
        Print(stderr, u"micdeck: Vocarra did not answer; %1\n"_s.arg(KeptText(fileName)));
        return 1;
    }
    switch (reply->Answer) {
    case haOk:
        Print(stdout, u"Vocarra uploads %1 after its selected entry\n"_s.arg(fileName));
        return 0;
    case haBusy:
        Print(stderr,
              u"micdeck: Vocarra is uploading another voice track; %1\n"_s.arg(KeptText(fileName)));
        return 1;
    case haError:
        break;
    }
    Print(stderr, u"micdeck: Vocarra: %1; %2\n"_s.arg(reply->Text, KeptText(fileName)));
    return 1;
}

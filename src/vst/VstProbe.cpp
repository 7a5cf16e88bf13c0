#include "vst/VstProbe.h"

#include "core/CoreDumps.h"
#include "core/NativeNames.h"
#include "vst/VstEffect.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The rate effects are opened at while they are described.
constexpr double ProbeSampleRate = 44100;

QJsonObject ParamObject(const TVstProbeParam &AParam) {
    return QJsonObject{{u"index"_s, AParam.Index},
                       {u"name"_s, AParam.Name},
                       {u"value"_s, AParam.Value},
                       {u"display"_s, AParam.Display},
                       {u"label"_s, AParam.Label}};
}

TVstProbeParam ParamOfObject(const QJsonObject &AObject) {
    TVstProbeParam param;
    param.Index = AObject.value(u"index"_s).toInt();
    param.Name = AObject.value(u"name"_s).toString();
    param.Value = AObject.value(u"value"_s).toDouble();
    param.Display = AObject.value(u"display"_s).toString();
    param.Label = AObject.value(u"label"_s).toString();
    return param;
}

std::optional<QJsonObject> ObjectOf(const QByteArray &AJson) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(AJson, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

bool WriteAll(int AFd, const QByteArray &AData) {
    const char *data = AData.constData();
    size_t left = static_cast<size_t>(AData.size());
    while (left > 0) {
        const ssize_t written = ::write(AFd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

int Answer(int AOutFd, int AExitCode, const QByteArray &AJson) {
    WriteAll(AOutFd, AJson);
    return AExitCode;
}

} // namespace

bool ParseParamSetting(const QString &AText, int &AIndex, float &AValue) {
    const qsizetype equals = AText.indexOf(u'=');
    if (equals <= 0)
        return false;
    bool indexOk = false;
    bool valueOk = false;
    const int index = AText.left(equals).toInt(&indexOk);
    const float value = AText.mid(equals + 1).toFloat(&valueOk);
    if (!indexOk || !valueOk || index < 0)
        return false;
    AIndex = index;
    AValue = value;
    return true;
}

std::optional<TVstProbeRequest> ParseProbeArguments(const QStringList &AArgs, QString &AError) {
    TVstProbeRequest request;
    bool haveFile = false;
    for (qsizetype i = 0; i < AArgs.size(); ++i) {
        const QString &arg = AArgs[i];
        if (arg == u"--params") {
            request.WithParams = true;
        } else if (arg == u"--editor-size") {
            request.WithEditorSize = true;
        } else if (arg == u"--set") {
            int index = 0;
            float value = 0;
            if (i + 1 >= AArgs.size() || !ParseParamSetting(AArgs[i + 1], index, value)) {
                AError = u"--set needs INDEX=VALUE"_s;
                return std::nullopt;
            }
            request.Sets.emplace_back(index, value);
            ++i;
        } else if (arg == u"--") {
            if (i + 1 != AArgs.size() - 1 || haveFile) {
                AError = u"one plug-in file expected"_s;
                return std::nullopt;
            }
            request.File = AArgs[i + 1];
            haveFile = true;
            break;
        } else if (arg.startsWith(u'-')) {
            AError = u"unknown option %1"_s.arg(arg);
            return std::nullopt;
        } else if (haveFile) {
            AError = u"one plug-in file expected"_s;
            return std::nullopt;
        } else {
            request.File = arg;
            haveFile = true;
        }
    }
    if (!haveFile || request.File.isEmpty()) {
        AError = u"no plug-in file given"_s;
        return std::nullopt;
    }
    return request;
}

QStringList ProbeArguments(const TVstProbeRequest &ARequest) {
    QStringList args;
    if (ARequest.WithParams)
        args << u"--params"_s;
    if (ARequest.WithEditorSize)
        args << u"--editor-size"_s;
    for (const auto &[index, value] : ARequest.Sets)
        args << u"--set"_s << u"%1=%2"_s.arg(index).arg(static_cast<double>(value), 0, 'g', 9);
    // "--" keeps a file name that starts with "-" a file name.
    args << u"--"_s << ARequest.File;
    return args;
}

QJsonObject ProbeInfoObject(const TVstProbeInfo &AInfo) {
    QJsonObject object{
        {u"vendor"_s, AInfo.Vendor},           {u"effect"_s, AInfo.Effect},
        {u"params"_s, AInfo.NumParams},        {u"inputs"_s, AInfo.NumInputs},
        {u"outputs"_s, AInfo.NumOutputs},      {u"editor"_s, AInfo.HasEditor},
        {u"editorWidth"_s, AInfo.EditorWidth}, {u"editorHeight"_s, AInfo.EditorHeight},
        {u"uniqueId"_s, AInfo.UniqueID}};
    if (!AInfo.Params.empty()) {
        QJsonArray params;
        for (const TVstProbeParam &param : AInfo.Params)
            params.append(ParamObject(param));
        object.insert(u"parameters"_s, params);
    }
    return object;
}

TVstProbeInfo ProbeInfoOfObject(const QJsonObject &AObject) {
    TVstProbeInfo info;
    info.Vendor = AObject.value(u"vendor"_s).toString();
    info.Effect = AObject.value(u"effect"_s).toString();
    info.NumParams = AObject.value(u"params"_s).toInt();
    info.NumInputs = AObject.value(u"inputs"_s).toInt();
    info.NumOutputs = AObject.value(u"outputs"_s).toInt();
    info.HasEditor = AObject.value(u"editor"_s).toBool();
    info.EditorWidth = AObject.value(u"editorWidth"_s).toInt();
    info.EditorHeight = AObject.value(u"editorHeight"_s).toInt();
    info.UniqueID = AObject.value(u"uniqueId"_s).toInt();
    const QJsonArray params = AObject.value(u"parameters"_s).toArray();
    for (const auto &param : params)
        info.Params.push_back(ParamOfObject(param.toObject()));
    return info;
}

QByteArray ProbeInfoJson(const TVstProbeInfo &AInfo) {
    return QJsonDocument(ProbeInfoObject(AInfo)).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray ProbeReasonJson(const QString &AReason) {
    return QJsonDocument(QJsonObject{{u"reason"_s, AReason}}).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<TVstProbeInfo> ProbeInfoFromJson(const QByteArray &AJson) {
    const std::optional<QJsonObject> object = ObjectOf(AJson);
    // A description always names its parameter count; an object without it
    // is not one, whatever else it holds.
    if (!object || !object->value(u"params"_s).isDouble())
        return std::nullopt;
    return ProbeInfoOfObject(*object);
}

QString ProbeReasonFromJson(const QByteArray &AJson) {
    const std::optional<QJsonObject> object = ObjectOf(AJson);
    return object ? object->value(u"reason"_s).toString() : QString();
}

int RunProbe(const TVstProbeRequest &ARequest, int AOutFd) {
    TVstLoadResult result = vlOk;
    QString error;
    std::unique_ptr<TVstEffect> effect =
        TVstEffect::Load(ARequest.File, ProbeSampleRate, result, error);
    switch (result) {
    case vlOk:
        break;
    case vlCannotOpen:
        return Answer(AOutFd, vsxCannotLoad, ProbeReasonJson(error));
    case vlNoEntry:
    case vlNullEffect:
        return Answer(AOutFd, vsxNotAPlugin, ProbeReasonJson(QString()));
    case vlBadEffect:
        return Answer(AOutFd, vsxBadEffect, ProbeReasonJson(error));
    }
    TVstProbeInfo info;
    info.Vendor = VstText(effect->VendorName());
    info.Effect = VstText(effect->EffectName());
    info.NumParams = effect->NumParams();
    info.NumInputs = effect->NumInputs();
    info.NumOutputs = effect->NumOutputs();
    info.HasEditor = effect->HasEditor();
    info.UniqueID = effect->UniqueID();
    if (info.HasEditor && ARequest.WithEditorSize)
        effect->EditorSize(info.EditorWidth, info.EditorHeight);
    if (ARequest.WithParams) {
        for (const auto &[index, value] : ARequest.Sets)
            effect->SetParam(index, value);
        info.Params.reserve(static_cast<size_t>(info.NumParams));
        for (int i = 0; i < info.NumParams; ++i) {
            info.Params.push_back(
                {i, VstText(effect->ParamName(i)), static_cast<double>(effect->Param(i)),
                 VstText(effect->ParamDisplay(i)), VstText(effect->ParamLabel(i))});
        }
    }
    const QByteArray answer = ProbeInfoJson(info);
    // Closed before the answer goes out: a plug-in that crashes on closing
    // must not pass for one that works.
    effect.reset();
    return Answer(AOutFd, vsxDescribed, answer);
}

void VstProbeMain(int argc, char *argv[]) {
    // The process holds nothing worth a core file, but a plug-in's crash
    // would otherwise leave one wherever it was started.
    DisableCoreDumps();
    // A plug-in's fault must end the process with its own signal, so the
    // program that started the helper can name it; handlers installed by
    // the runtime (the sanitizers among them) would turn it into an exit.
    for (int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
        std::signal(sig, SIG_DFL);
    // Nothing a plug-in prints may reach the protocol: the real standard
    // output is kept for the answer, and descriptor 1 goes to standard error.
    std::fflush(stdout);
    const int outFd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (outFd < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        ::_exit(vsxUsage);

    const QStringList args = ArgumentsFromNative(argc, argv);
    QString error;
    const std::optional<TVstProbeRequest> request = ParseProbeArguments(args, error);
    int code = vsxUsage;
    if (!request) {
        std::fprintf(stderr,
                     "vocarra-vstscan: %s\nusage: vocarra-vstscan [--params] [--editor-size] "
                     "[--set INDEX=VALUE ...] FILE\n",
                     error.toLocal8Bit().constData());
        WriteAll(outFd, ProbeReasonJson(error));
    } else {
        code = RunProbe(*request, outFd);
    }
    std::fflush(stdout);
    std::fflush(stderr);
    // No exit-time code: not the plug-in's static destructors (which crash in
    // some plug-ins once the effect is closed) nor the runtime's checks.
    ::_exit(code);
}

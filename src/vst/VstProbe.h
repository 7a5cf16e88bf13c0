#pragma once
// Probing a VST plug-in file: what the scanning helper (vocarra-vstscan)
// learns about one file, and how it tells the program that started it.
//
// A plug-in is foreign code that may crash, hang or scribble over memory, so
// it is loaded only inside the helper, one file per helper process. The
// helper writes one JSON object to its standard output and says through its
// exit code what kind of answer that is:
//   0  described (the object holds the plug-in's description)
//   1  the library does not load ("reason": the loader's text)
//   2  the helper was started with arguments it does not understand
//   3  not a plug-in: no entry function, or the entry gave no effect
//   4  a bad effect ("reason" says what is wrong with it)
//
// Threads: any; nothing here keeps state.

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

enum : int {
    vsxDescribed = 0,
    vsxCannotLoad = 1,
    vsxUsage = 2,
    vsxNotAPlugin = 3,
    vsxBadEffect = 4,
};

// One parameter of a probed effect after the requested values were applied.
struct TVstProbeParam {
    int Index = 0;
    QString Name;
    double Value = 0; // 0.0 to 1.0
    QString Display;  // the value as the plug-in shows it
    QString Label;    // its unit ("dB")

    bool operator==(const TVstProbeParam &) const = default;
};

// What a probe tells about an effect. Texts are the plug-in's own, decoded
// for people (UTF-8 when valid, else Latin-1) and already cut to bounds.
struct TVstProbeInfo {
    QString Vendor;
    QString Effect;
    int NumParams = 0;
    int NumInputs = 0;
    int NumOutputs = 0;
    bool HasEditor = false;
    int EditorWidth = 0; // 0 when the plug-in does not say or was not asked
    int EditorHeight = 0;
    qint32 UniqueID = 0;
    // Only when the parameters were asked for.
    std::vector<TVstProbeParam> Params;

    bool operator==(const TVstProbeInfo &) const = default;
};

// The arguments of the helper:
// [--params] [--editor-size] [--set INDEX=VALUE ...] FILE.
struct TVstProbeRequest {
    QString File;
    bool WithParams = false;
    // Asking for the editor's size makes some plug-ins build their whole
    // editor, and without a display some crash doing so; a scan does not ask.
    bool WithEditorSize = false;
    std::vector<std::pair<int, float>> Sets; // applied in this order before listing
};

// Parses the helper's arguments (after the program name); nothing on a
// usage error, with AError saying why.
std::optional<TVstProbeRequest> ParseProbeArguments(const QStringList &AArgs, QString &AError);
// The arguments that make the helper answer ARequest.
QStringList ProbeArguments(const TVstProbeRequest &ARequest);
// Parses "INDEX=VALUE" (a whole index of 0 or more, a number); false when it
// is not that.
bool ParseParamSetting(const QString &AText, int &AIndex, float &AValue);

// The protocol's objects.
QByteArray ProbeInfoJson(const TVstProbeInfo &AInfo);
QByteArray ProbeReasonJson(const QString &AReason);
// Reads a description; nothing when AJson is not one.
std::optional<TVstProbeInfo> ProbeInfoFromJson(const QByteArray &AJson);
// The "reason" of a failure answer; empty when there is none.
QString ProbeReasonFromJson(const QByteArray &AJson);

// The JSON value of a description and back, also used by the scan cache.
QJsonObject ProbeInfoObject(const TVstProbeInfo &AInfo);
TVstProbeInfo ProbeInfoOfObject(const QJsonObject &AObject);

// The helper itself: loads ARequest.File into this process, applies the
// values, and writes the answer to AOutFd. Returns the exit code.
int RunProbe(const TVstProbeRequest &ARequest, int AOutFd);

// The helper's main: sets the process up so that a plug-in's crash ends it
// with the plug-in's signal and nothing the plug-in prints reaches the
// protocol, then probes. Never returns: the process ends with _exit, so no
// plug-in's exit-time code runs after the answer is out.
[[noreturn]] void VstProbeMain(int argc, char *argv[]);

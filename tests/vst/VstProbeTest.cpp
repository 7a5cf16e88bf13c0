// Each kind of plug-in file probed through the real scanning helper: what is
// described, what is left out, and what a crash, a hang or garbage gives;
// the parameter listing with values applied; parallel probes; the helper's
// arguments.

#include "vst/VstEffect.h"
#include "vst/VstProbeRunner.h"
#include "vst/VstScanSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using std::chrono::milliseconds;

namespace {

// Long enough for a loaded machine, short enough for a test of the hang.
constexpr milliseconds ShortLimit{1000};

enum TAsk { akDescription, akParams, akEditorSize, akAll };

TVstProbeOutcome Probe(const QString &AFile, milliseconds ALimit = VstProbeTimeLimit,
                       TAsk AAsk = akDescription, std::vector<std::pair<int, float>> ASets = {}) {
    TVstProbeRequest request;
    request.File = AFile;
    request.WithParams = AAsk == akParams || AAsk == akAll;
    request.WithEditorSize = AAsk == akEditorSize || AAsk == akAll;
    request.Sets = std::move(ASets);
    return ProbeVstFile(ScanHelper(), request, ALimit);
}

struct TProbeCase {
    const char *Plugin;
    TVstProbeKind Kind;
    const char *Reason; // for vpFailed
};

void PrintTo(const TProbeCase &ACase, std::ostream *AStream) {
    *AStream << ACase.Plugin;
}

class ProbeOutcomes : public testing::TestWithParam<TProbeCase> {};

TEST_P(ProbeOutcomes, EachKindOfPluginFileGivesItsOutcome) {
    const TProbeCase &c = GetParam();
    const TVstProbeOutcome outcome = Probe(TestPlugin(QString::fromLatin1(c.Plugin)), ShortLimit);
    EXPECT_EQ(outcome.Kind, c.Kind) << outcome.Reason.toStdString();
    EXPECT_EQ(outcome.Reason, QString::fromLatin1(c.Reason));
    EXPECT_EQ(outcome.TimedOut, std::string_view(c.Plugin) == "hang");
}

INSTANTIATE_TEST_SUITE_P(
    TestPlugins, ProbeOutcomes,
    testing::Values(TProbeCase{"gain", vpDescribed, ""}, TProbeCase{"old-entry", vpDescribed, ""},
                    TProbeCase{"passthrough", vpDescribed, ""}, TProbeCase{"mono", vpDescribed, ""},
                    TProbeCase{"editor", vpDescribed, ""}, TProbeCase{"garbage", vpDescribed, ""},
                    TProbeCase{"params150", vpDescribed, ""},
                    TProbeCase{"crash", vpFailed, "crashed with signal 11 (SIGSEGV)"},
                    TProbeCase{"hang", vpFailed, "did not answer within 1 s"},
                    TProbeCase{"null-effect", vpLeftOut, ""}, TProbeCase{"no-entry", vpLeftOut, ""},
                    TProbeCase{"bad-magic", vpFailed, "the plug-in returned no valid effect"}),
    [](const testing::TestParamInfo<TProbeCase> &AInfo) {
        std::string name = AInfo.param.Plugin;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST(VstProbe, DescribesTheEffect) {
    const TVstProbeOutcome outcome = Probe(TestPlugin(u"gain"_s));
    ASSERT_EQ(outcome.Kind, vpDescribed) << outcome.Reason.toStdString();
    const TVstProbeInfo &info = outcome.Info;
    EXPECT_EQ(info.Vendor, u"Vocarra Tests"_s);
    EXPECT_EQ(info.Effect, u"Test Gain"_s);
    EXPECT_EQ(info.NumParams, 2);
    EXPECT_EQ(info.NumInputs, 2);
    EXPECT_EQ(info.NumOutputs, 2);
    EXPECT_FALSE(info.HasEditor);
    EXPECT_EQ(info.UniqueID, 0x56435447);
    EXPECT_TRUE(info.Params.empty()) << "parameters only when asked for";
}

TEST(VstProbe, DescribesTheLayoutAndTheEditor) {
    const TVstProbeOutcome mono = Probe(TestPlugin(u"mono"_s));
    ASSERT_EQ(mono.Kind, vpDescribed);
    EXPECT_EQ(mono.Info.NumInputs, 1);
    EXPECT_EQ(mono.Info.NumOutputs, 1);

    const TVstProbeOutcome editor = Probe(TestPlugin(u"editor"_s), VstProbeTimeLimit, akEditorSize);
    ASSERT_EQ(editor.Kind, vpDescribed);
    EXPECT_TRUE(editor.Info.HasEditor);
    EXPECT_EQ(editor.Info.EditorWidth, 320);
    EXPECT_EQ(editor.Info.EditorHeight, 200);

    // Unless asked, the editor is not asked for its size: some plug-ins
    // build their whole editor for that, and crash without a display.
    const TVstProbeOutcome unasked = Probe(TestPlugin(u"editor"_s));
    ASSERT_EQ(unasked.Kind, vpDescribed);
    EXPECT_TRUE(unasked.Info.HasEditor);
    EXPECT_EQ(unasked.Info.EditorWidth, 0);
    EXPECT_EQ(unasked.Info.EditorHeight, 0);
}

TEST(VstProbe, GarbageAnswersArriveBounded) {
    const TVstProbeOutcome outcome = Probe(TestPlugin(u"garbage"_s), VstProbeTimeLimit, akAll);
    ASSERT_EQ(outcome.Kind, vpDescribed) << outcome.Reason.toStdString();
    EXPECT_EQ(outcome.Info.NumParams, VstMaxParams);
    EXPECT_EQ(outcome.Info.Effect.size(), VstMaxText);
    // The editor claims to be 0 by 0: no size.
    EXPECT_EQ(outcome.Info.EditorWidth, 0);
    ASSERT_EQ(outcome.Info.Params.size(), static_cast<size_t>(VstMaxParams));
    EXPECT_EQ(outcome.Info.Params[0].Name.size(), VstMaxText);
    EXPECT_EQ(outcome.Info.Params[0].Value, 0.0) << "NaN reads as 0";
    EXPECT_EQ(outcome.Info.Params[1].Value, 1.0) << "7.5 is cut to the format's range";
}

TEST(VstProbe, ListsEveryParameterOfA150ParameterPlugin) {
    const TVstProbeOutcome outcome = Probe(TestPlugin(u"params150"_s), VstProbeTimeLimit, akParams);
    ASSERT_EQ(outcome.Kind, vpDescribed) << outcome.Reason.toStdString();
    ASSERT_EQ(outcome.Info.Params.size(), 150u);
    for (int i = 0; i < 150; ++i) {
        SCOPED_TRACE(i);
        const TVstProbeParam &param = outcome.Info.Params[static_cast<size_t>(i)];
        EXPECT_EQ(param.Index, i);
        EXPECT_EQ(param.Name, i == 0 ? u"Gain"_s : i == 1 ? u"Mix"_s : u"P%1"_s.arg(i));
    }
}

TEST(VstProbe, AppliesTheGivenValuesBeforeListing) {
    const TVstProbeOutcome outcome =
        Probe(TestPlugin(u"gain"_s), VstProbeTimeLimit, akParams, {{0, 0.375f}, {1, 0.25f}});
    ASSERT_EQ(outcome.Kind, vpDescribed) << outcome.Reason.toStdString();
    ASSERT_EQ(outcome.Info.Params.size(), 2u);
    EXPECT_EQ(outcome.Info.Params[0], (TVstProbeParam{0, u"Gain"_s, 0.375, u"-6.0"_s, u"dB"_s}));
    EXPECT_EQ(outcome.Info.Params[1], (TVstProbeParam{1, u"Mix"_s, 0.25, u"25"_s, u"%"_s}));
}

TEST(VstProbe, AFileThatIsNoLibraryFailsWithTheLoadersText) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"notes.so"_s);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a library");
    file.close();
    const TVstProbeOutcome outcome = Probe(path);
    EXPECT_EQ(outcome.Kind, vpFailed);
    EXPECT_TRUE(outcome.Reason.contains(u"notes.so"_s)) << outcome.Reason.toStdString();
}

TEST(VstProbe, AFileNameStartingWithADashIsAFileName) {
    QTemporaryDir dir;
    const QString path = CopyTestPlugin(u"gain"_s, dir.path(), u"-gain.so"_s);
    EXPECT_EQ(Probe(path).Kind, vpDescribed);
}

TEST(VstProbe, AMissingHelperIsNoVerdictOnTheFile) {
    TVstProbeRequest request;
    request.File = TestPlugin(u"gain"_s);
    const TVstProbeOutcome outcome = ProbeVstFile(u"/nonexistent/vocarra-vstscan"_s, request);
    EXPECT_EQ(outcome.Kind, vpHelperFault);
    EXPECT_TRUE(outcome.Reason.contains(u"cannot run"_s)) << outcome.Reason.toStdString();
}

TEST(VstProbe, ParallelProbesGiveTheSerialOutcomes) {
    std::vector<QString> files;
    for (const char *name : {"gain", "crash", "null-effect", "editor", "bad-magic", "no-entry",
                             "mono", "params150", "hang", "old-entry"})
        files.push_back(TestPlugin(QString::fromLatin1(name)));
    const auto serial = ProbeVstFiles(ScanHelper(), files, ShortLimit, 1);
    const auto parallel = ProbeVstFiles(ScanHelper(), files, ShortLimit, 4);
    ASSERT_EQ(serial.size(), files.size());
    ASSERT_EQ(parallel.size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].toStdString());
        EXPECT_EQ(parallel[i].Kind, serial[i].Kind);
        EXPECT_EQ(parallel[i].Reason, serial[i].Reason);
        EXPECT_EQ(parallel[i].Info, serial[i].Info);
    }
    EXPECT_EQ(serial[1].Reason, u"crashed with signal 11 (SIGSEGV)"_s);
    EXPECT_EQ(serial[8].Reason, u"did not answer within 1 s"_s);
}

TEST(VstProbe, WhatAPluginPrintsDoesNotReachTheProtocol) {
    const TVstProbeOutcome outcome = Probe(TestPlugin(u"chatty"_s));
    ASSERT_EQ(outcome.Kind, vpDescribed) << outcome.Reason.toStdString();
    EXPECT_EQ(outcome.Info.NumParams, 2);
    EXPECT_EQ(outcome.Info.Effect, u"Test Gain"_s);
}

// Helpers that misbehave in ways the real one does not: the runner's own
// bounds and readings of the exit.
struct TFakeHelperCase {
    const char *Name;
    const char *Script;
    TVstProbeKind Kind;
    const char *Reason;
};

void PrintTo(const TFakeHelperCase &ACase, std::ostream *AStream) {
    *AStream << ACase.Name;
}

class FakeHelpers : public testing::TestWithParam<TFakeHelperCase> {};

TEST_P(FakeHelpers, TheRunnerReadsWhatTheHelperDid) {
    QTemporaryDir dir;
    const QString helper = dir.filePath(u"helper"_s);
    QFile script(helper);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QByteArray("#!/bin/sh\n") + GetParam().Script + '\n');
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    TVstProbeRequest request;
    request.File = TestPlugin(u"gain"_s);
    // Generous: none of these may take the time limit, except the one that
    // is meant to.
    const TVstProbeOutcome outcome = ProbeVstFile(helper, request, milliseconds(20000));
    EXPECT_EQ(outcome.Kind, GetParam().Kind);
    EXPECT_EQ(outcome.Reason, QString::fromLatin1(GetParam().Reason));
    EXPECT_FALSE(outcome.TimedOut);
}

INSTANTIATE_TEST_SUITE_P(
    Runner, FakeHelpers,
    testing::Values(TFakeHelperCase{"garbled", "echo 'not json'", vpFailed,
                                    "gave a description that cannot be read"},
                    TFakeHelperCase{"too_long", "head -c 5000000 /dev/zero", vpFailed,
                                    "gave an answer longer than 4 MiB"},
                    TFakeHelperCase{"odd_exit", "exit 7", vpFailed, "ended with exit code 7"},
                    TFakeHelperCase{"aborted", "kill -ABRT $$", vpFailed,
                                    "crashed with signal 6 (SIGABRT)"},
                    TFakeHelperCase{"reason_missing", "exit 4", vpFailed,
                                    "the plug-in returned no valid effect"},
                    // Something the helper started keeps the pipe open: the helper's
                    // end decides, not the pipe's.
                    TFakeHelperCase{"child_keeps_pipe",
                                    "sleep 60 &\necho '{\"params\": 1, \"effect\": \"E\"}'\nexit 0",
                                    vpDescribed, ""}),
    [](const testing::TestParamInfo<TFakeHelperCase> &AInfo) { return AInfo.param.Name; });

TEST(VstProbe, ReasonTexts) {
    EXPECT_EQ(ProbeTimeOutReason(VstProbeTimeLimit), u"did not answer within 10 s"_s);
    EXPECT_EQ(ProbeTimeOutReason(milliseconds(1500)), u"did not answer within 1.5 s"_s);
    EXPECT_EQ(ProbeSignalReason(SIGSEGV), u"crashed with signal 11 (SIGSEGV)"_s);
    EXPECT_EQ(ProbeSignalReason(SIGABRT), u"crashed with signal 6 (SIGABRT)"_s);
}

// --- The helper's arguments -------------------------------------------------------

struct TArgsCase {
    QStringList Args;
    bool Ok;
    QString File;
    bool WithParams;
    size_t Sets;
};

void PrintTo(const TArgsCase &ACase, std::ostream *AStream) {
    *AStream << '"' << ACase.Args.join(u' ').toStdString() << '"';
}

class ProbeArgs : public testing::TestWithParam<TArgsCase> {};

TEST_P(ProbeArgs, ParseAsTheHelperReadsThem) {
    const TArgsCase &c = GetParam();
    QString error;
    const std::optional<TVstProbeRequest> request = ParseProbeArguments(c.Args, error);
    ASSERT_EQ(request.has_value(), c.Ok) << error.toStdString();
    if (!request) {
        EXPECT_FALSE(error.isEmpty());
        return;
    }
    EXPECT_EQ(request->File, c.File);
    EXPECT_EQ(request->WithParams, c.WithParams);
    EXPECT_EQ(request->Sets.size(), c.Sets);
    // What the runner passes reads back as the same request.
    const std::optional<TVstProbeRequest> again =
        ParseProbeArguments(ProbeArguments(*request), error);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->File, request->File);
    EXPECT_EQ(again->Sets, request->Sets);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ProbeArgs,
    testing::Values(TArgsCase{{u"a.so"_s}, true, u"a.so"_s, false, 0},
                    TArgsCase{{u"--params"_s, u"--set"_s, u"0=0.5"_s, u"--editor-size"_s,
                               u"--set"_s, u"3=1"_s, u"a.so"_s},
                              true,
                              u"a.so"_s,
                              true,
                              2},
                    TArgsCase{{u"--"_s, u"-a.so"_s}, true, u"-a.so"_s, false, 0},
                    TArgsCase{{}, false, {}, false, 0},
                    TArgsCase{{u"a.so"_s, u"b.so"_s}, false, {}, false, 0},
                    TArgsCase{{u"--set"_s, u"x=1"_s, u"a.so"_s}, false, {}, false, 0},
                    TArgsCase{{u"--set"_s, u"-1=1"_s, u"a.so"_s}, false, {}, false, 0},
                    TArgsCase{{u"--set"_s}, false, {}, false, 0},
                    TArgsCase{{u"--what"_s, u"a.so"_s}, false, {}, false, 0}),
    [](const testing::TestParamInfo<TArgsCase> &AInfo) {
        return "Case" + std::to_string(AInfo.index);
    });

TEST(VstProbe, TheProtocolRoundTripsADescription) {
    TVstProbeInfo info;
    info.Vendor = u"V\u00e9ndor"_s;
    info.Effect = u"Effect"_s;
    info.NumParams = 1;
    info.HasEditor = true;
    info.EditorWidth = 10;
    info.EditorHeight = 20;
    info.UniqueID = -5;
    info.Params.push_back({0, u"N"_s, 0.25, u"D"_s, u"L"_s});
    EXPECT_EQ(ProbeInfoFromJson(ProbeInfoJson(info)), info);
    EXPECT_EQ(ProbeInfoFromJson("{\"reason\":\"x\"}"), std::nullopt);
    EXPECT_EQ(ProbeInfoFromJson("{\"params\":"), std::nullopt);
    EXPECT_EQ(ProbeReasonFromJson(ProbeReasonJson(u"why"_s)), u"why"_s);
}

} // namespace

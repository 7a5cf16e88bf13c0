// The editor windows of the built-in effects with real preset files in a
// temporary data directory and real effects on channels of the audio engine:
// presets byte for byte both ways, what each editor writes into Params and
// when, the live effect, the drawn curves against what the engine does, one
// window per kind, Escape, screen-reader names and values, the keyboard, the
// band dialog, captions from a language file, and bad files and folders.

#include "dspwindows/EffectEditors.h"

#include "audio/AudioEngine.h"
#include "chain/DSPManager.h"
#include "config/DataDirs.h"
#include "config/Translation.h"
#include "controls/FloatEdit.h"
#include "controls/LBar.h"
#include "controls/LxTrackBar.h"
#include "controls/WindowHelpers.h"
#include "core/MessageBox.h"
#include "dsp/DSPItems.h"
#include "dsp/EffectPresets.h"
#include "dspwindows/CompressorDSPForm.h"
#include "dspwindows/DSPEqBandsForm.h"
#include "dspwindows/EffectCurves.h"
#include "dspwindows/EqDSPForm.h"
#include "dspwindows/PresetManager.h"
#include "station/SystemIni.h"
#include "support/ModalWindows.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QWidget *ModalInputDialog() {
    return qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
}

QWidget *OpenMenu() {
    return qobject_cast<QMenu *>(QApplication::activePopupWidget());
}

// Answers the next "Save" dialog with AName (or cancels it).
void AnswerSaveDialog(const QString &AName, bool AAccept = true) {
    WhenOpen(ModalInputDialog, [AName, AAccept](QWidget *AWidget) {
        auto *dialog = static_cast<QInputDialog *>(AWidget);
        QCOMPARE(dialog->windowTitle(), u"Save"_s);
        QCOMPARE(dialog->labelText(), u"Preset name"_s);
        dialog->setTextValue(AName);
        if (AAccept)
            dialog->accept();
        else
            dialog->reject();
    });
}

QByteArray FileBytes(const QString &APath) {
    QFile file(APath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void WriteFile(const QString &APath, const QByteArray &ABytes) {
    QDir().mkpath(QFileInfo(APath).absolutePath());
    QFile file(APath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(ABytes);
}

QString Spoken(QWidget *AWidget, QAccessible::Text AKind) {
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(AWidget);
    return face != nullptr ? face->text(AKind) : u"<none>"_s;
}

QStringList Texts(const QMenu *AMenu) {
    QStringList texts;
    for (const QAction *action : AMenu->actions())
        texts << action->text();
    return texts;
}

QAction *Item(const QMenu *AMenu, const QString &AText) {
    for (QAction *action : AMenu->actions())
        if (action->text() == AText)
            return action;
    return nullptr;
}

// A sine of any frequency on a mono channel of the audio engine; the phase
// runs on across a change of frequency.
class TSineChannel {
public:
    static constexpr quint32 Rate = 48000;
    static constexpr double Amplitude = 0.1;

    TSineChannel() : FHandle(BASS_StreamCreate(Rate, 1, &Proc, this)) {}
    ~TSineChannel() { BASS_StreamFree(FHandle); }
    TSineChannel(const TSineChannel &) = delete;
    TSineChannel &operator=(const TSineChannel &) = delete;

    HSTREAM Handle() const { return FHandle; }

    // The gain in dB the channel's effects give a sine of AFreq: the RMS of
    // one second (whole cycles at whole frequencies) after half a second of
    // settling, against the RMS of the sine itself.
    double MeasureDb(double AFreq) {
        FFreq = AFreq;
        std::vector<float> buffer(Rate / 2);
        BASS_ChannelGetData(FHandle, buffer.data(), quint32(buffer.size() * sizeof(float)));
        buffer.assign(Rate, 0.0f);
        BASS_ChannelGetData(FHandle, buffer.data(), quint32(buffer.size() * sizeof(float)));
        double sum = 0;
        for (float sample : buffer)
            sum += double(sample) * sample;
        const double rms = std::sqrt(sum / double(buffer.size()));
        return 20 * std::log10(rms / (Amplitude / std::numbers::sqrt2));
    }

private:
    static quint32 Proc(HSTREAM, void *ABuffer, quint32 ALength, void *AUser) {
        auto *self = static_cast<TSineChannel *>(AUser);
        auto *samples = static_cast<float *>(ABuffer);
        for (quint32 i = 0; i < ALength / sizeof(float); ++i) {
            samples[i] = float(Amplitude * std::sin(self->FPhase));
            self->FPhase += 2 * std::numbers::pi * self->FFreq / Rate;
            if (self->FPhase > 2 * std::numbers::pi)
                self->FPhase -= 2 * std::numbers::pi;
        }
        return ALength;
    }

    double FFreq = 1000;
    double FPhase = 0;
    HSTREAM FHandle;
};

} // namespace

class TEffectEditorsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> Dir;
    std::vector<TShownBox> Boxes;
    TDSPItemsC Chain;

    QString DataPath() const { return Dir->path() + u"/data/"_s; }
    QString EqFolder() const { return DataPath() + u"Presets/Equalizer/"_s; }
    QString CompFolder() const { return DataPath() + u"Presets/Compressor/"_s; }

    TDSPItemC &AddEntry(TIntDSPKind AKind, const QStringList &AParams = {}) {
        TDSPItemC &item = Chain.Add();
        item.T = dspIntegrated;
        item.IntDSPKind = AKind;
        item.Params = AParams;
        return item;
    }

    static void ResetSettings() {
        TSystemIniBase &settings = SystemIni();
        settings.BandsNum = 10;
        settings.EQRange = 10;
        settings.Bandwidth = 2.5f;
        while (settings.EQBands.Count() > 0)
            settings.EQBands.Delete(0);
        AddDefaultEQBands(settings.EQBands);
    }

    template <class TForm> static TForm *Shown(TForm *AWindow) {
        if (AWindow != nullptr && !QTest::qWaitForWindowExposed(AWindow))
            qWarning("window not exposed");
        return AWindow;
    }

private Q_SLOTS:
    void init() {
        Dir = std::make_unique<QTemporaryDir>();
        QVERIFY(Dir->isValid());
        QDir().mkpath(Dir->path() + u"/exe"_s);
        QDir().mkpath(DataPath());
        SetProcessDirs({Dir->path() + u"/exe/"_s, QString(), DataPath()});
        ResetSettings();
        Boxes.clear();
        SetMessageBoxPresenter([this](const QString &AText, const QString &ACaption, int AFlags) {
            Boxes.push_back({AText, ACaption, AFlags});
            return 0;
        });
        SetDefaultLanguageFile(QString());
        LastPopupTick() = 0;
    }

    void cleanup() {
        for (TIntDSPKind kind : {dspEqualizer, dspCompressor, dspGain})
            CloseIntegratedEditor(kind);
        while (Chain.Count() > 0)
            Chain.Delete(0);
        SetMessageBoxPresenter(nullptr);
        Dir->setAutoRemove(!QTest::currentTestFailed());
    }

    // --- Equaliser presets ---------------------------------------------------------

    void eqSaveWritesTheWorkedExample() {
        TDSPItemC &item = AddEntry(dspEqualizer);
        TEqDSPFrm *eq = Shown(OpenEqEditor(item, nullptr));
        eq->TrackBar[0]->setValue(-3);
        eq->TrackBar[1]->setValue(2);
        QCOMPARE(item.Params, (QStringList{u"3"_s, u"-2"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s,
                                           u"0"_s, u"0"_s, u"0"_s}));
        AnswerSaveDialog(u"Voice"_s);
        eq->miSave->trigger();
        QCOMPARE(FileBytes(EqFolder() + u"Voice.eqp"_s),
                 "[Equalizer]\r\nSettings=03000000FEFFFFFF" + QByteArray(80, '0') + "\r\n");
        QCOMPARE(item.PresetName, u"Voice"_s);
        QCOMPARE(Texts(eq->miLoad), QStringList{u"Voice"_s});
        QCOMPARE(Texts(eq->miDelete), QStringList{u"Voice"_s});
    }

    void eqLoadSetsOnlyTheVisibleBands() {
        // BandsNum 10: saving writes twelve values, the last two 0; loading
        // a file with twelve sets only the ten sliders shown.
        TDSPItemC &item = AddEntry(dspEqualizer, QStringList(10, u"1"_s));
        TEqDSPFrm *eq = Shown(OpenEqEditor(item, nullptr));
        AnswerSaveDialog(u"Ten"_s);
        eq->miSave->trigger();
        const TEqPreset saved =
            EqPresetFromBlock(*ReadPresetBlock(EqPresetKind(), EqFolder() + u"Ten.eqp"_s));
        QCOMPARE(saved, (TEqPreset{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0}));

        WriteFile(
            EqFolder() + u"Twelve.eqp"_s,
            "[Equalizer]\nSettings=" +
                BlockToHex(EqPresetToBlock({1, 2, 3, 4, 5, 6, 7, 8, 9, -10, 9, 9})).toLatin1() +
                "\n");
        eq->PresetManager()->UpdateMenus();
        QAction *load = Item(eq->miLoad, u"Twelve"_s);
        QVERIFY(load != nullptr);
        load->trigger();
        QCOMPARE(item.Params, (QStringList{u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s, u"7"_s,
                                           u"8"_s, u"9"_s, u"-10"_s}));
        QCOMPARE(eq->TrackBar[10]->value(), 0);
        QCOMPARE(eq->TrackBar[11]->value(), 0);
        QCOMPARE(eq->leq[9]->text(), u"-10"_s);
        QCOMPARE(eq->leq[0]->text(), u"+1"_s);
        QCOMPARE(item.PresetName, u"Twelve"_s);
    }

    void eqDamagedPresetsLoadWhatTheyHold_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QStringList>("params");
        const QStringList zeros(10, u"0"_s);
        QStringList first = zeros;
        first[0] = u"5"_s;
        QTest::newRow("short") << QByteArray("05000000") << first;
        QTest::newRow("not hex after band 0") << QByteArray("05000000ZZ000000") << first;
        QTest::newRow("long") << QByteArray("05000000") + QByteArray(200, '1') << [] {
            QStringList params(10, u"0"_s);
            params[0] = u"5"_s;
            // 0x11111111 dB is far beyond the range: the top end.
            for (int i = 1; i < 10; ++i)
                params[i] = u"10"_s;
            return params;
        }();
        QTest::newRow("empty") << QByteArray() << zeros;
    }

    void eqDamagedPresetsLoadWhatTheyHold() {
        QFETCH(QByteArray, value);
        QFETCH(QStringList, params);
        TDSPItemC &item = AddEntry(dspEqualizer, QStringList(10, u"2"_s));
        WriteFile(EqFolder() + u"Bad.eqp"_s, "[Equalizer]\nSettings=" + value + "\n");
        TEqDSPFrm *eq = Shown(OpenEqEditor(item, nullptr));
        Item(eq->miLoad, u"Bad"_s)->trigger();
        QCOMPARE(item.Params, params);
    }

    void eqVanishedPresetChangesNothing() {
        TDSPItemC &item = AddEntry(dspEqualizer, QStringList(10, u"2"_s));
        WriteFile(EqFolder() + u"Gone.eqp"_s, "[Equalizer]\nSettings=05000000\n");
        TEqDSPFrm *eq = Shown(OpenEqEditor(item, nullptr));
        QFile::remove(EqFolder() + u"Gone.eqp"_s);
        Item(eq->miLoad, u"Gone"_s)->trigger();
        QCOMPARE(item.Params, QStringList(10, u"2"_s));
        QVERIFY(item.PresetName.isEmpty());
    }

    void editorsAreWindowsNamedByTheirCaption() {
        TDSPItemC &comp = AddEntry(dspCompressor);
        TCompressorDSPFrm *window = Shown(OpenCompressorEditor(comp, nullptr));
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(window);
        QVERIFY(face != nullptr);
        QCOMPARE(face->role(), QAccessible::Window);
        QCOMPARE(face->text(QAccessible::Name), window->windowTitle());
    }

    void saveStripsForbiddenCharacters() {
        TDSPItemC &item = AddEntry(dspCompressor);
        TCompressorDSPFrm *comp = Shown(OpenCompressorEditor(item, nullptr));
        AnswerSaveDialog(u"Desk/Mic: \"A\"*?<>|\\"_s);
        comp->miSave->trigger();
        QVERIFY(QFileInfo::exists(CompFolder() + u"DeskMic A.cmp"_s));
        QCOMPARE(item.PresetName, u"DeskMic A"_s);
    }

    void saveCancelledChangesNothing() {
        TDSPItemC &item = AddEntry(dspEqualizer);
        item.PresetName = u"Old"_s;
        TEqDSPFrm *eq = Shown(OpenEqEditor(item, nullptr));
        AnswerSaveDialog(u"New"_s, false);
        eq->miSave->trigger();
        QVERIFY(!QFileInfo::exists(EqFolder()));
        QCOMPARE(item.PresetName, u"Old"_s);
    }

    void neverEditedEntrySavesZeros() {
        TDSPItemC &item = AddEntry(dspEqualizer);
        TEqDSPFrm *eq = Shown(OpenEqEditor(item, nullptr));
        QVERIFY(item.Params.isEmpty());
        AnswerSaveDialog(u"Flat"_s);
        eq->miSave->trigger();
        QCOMPARE(*ReadPresetBlock(EqPresetKind(), EqFolder() + u"Flat.eqp"_s),
                 QByteArray(48, '\0'));
    }

    void tooManyParamsSavesNothing() {
        TDSPItemC &item = AddEntry(dspCompressor, QStringList(6, u"1"_s));
        TCompressorDSPFrm *comp = Shown(OpenCompressorEditor(item, nullptr));
        AnswerSaveDialog(u"Six"_s);
        comp->miSave->trigger();
        QVERIFY(!QFileInfo::exists(CompFolder() + u"Six.cmp"_s));
        QVERIFY(QFileInfo(CompFolder()).isDir()); // the folder comes first
        QVERIFY(Boxes.empty());
        QVERIFY(item.PresetName.isEmpty());
    }

    void unwritableFolderShowsTheMessage_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("equaliser") << int(dspEqualizer) << u"An error occurred: "_s;
        QTest::newRow("compressor") << int(dspCompressor) << u"Unable to save preset: "_s;
    }

    void unwritableFolderShowsTheMessage() {
        QFETCH(int, kind);
        QFETCH(QString, prefix);
        // A file where the preset folders should be.
        WriteFile(DataPath() + u"Presets"_s, "x");
        TDSPItemC &item = AddEntry(TIntDSPKind(kind));
        auto *editor = static_cast<TPresetEditorFrm *>(OpenIntegratedEditor(item, nullptr));
        Shown(editor);
        AnswerSaveDialog(u"Any"_s);
        editor->miSave->trigger();
        QCOMPARE(Boxes.size(), size_t(1));
        QVERIFY2(Boxes[0].Text.startsWith(prefix + u"Cannot create folder"_s),
                 qPrintable(Boxes[0].Text));
        QCOMPARE(Boxes[0].Caption, u"Error"_s);
        QCOMPARE(Boxes[0].Flags, int(mbIconError));
        QVERIFY(editor->isVisible());
        QVERIFY(item.PresetName.isEmpty());
    }

    // --- Preset menus ---------------------------------------------------------------

    void menusListPresetsOrSayThereAreNone() {
        TDSPItemC &item = AddEntry(dspEqualizer);
        TEqDSPFrm *eq = Shown(OpenEqEditor(item, nullptr));
        QCOMPARE(Texts(eq->miLoad), QStringList{u"(no presets)"_s});
        QVERIFY(!eq->miLoad->actions().constFirst()->isEnabled());
        QCOMPARE(Texts(eq->miDelete), QStringList{u"(no presets)"_s});
        QCOMPARE(Texts(eq->pmPreset), (QStringList{u"Load"_s, u"Save..."_s, u"Delete"_s}));

        WriteFile(EqFolder() + u"B.eqp"_s, "");
        WriteFile(EqFolder() + u"A&B.eqp"_s, "");
        WriteFile(EqFolder() + u"C.cmp"_s, "");
        eq->PresetManager()->UpdateMenus();
        // A "&" is shown as it is.
        QCOMPARE(Texts(eq->miLoad), (QStringList{u"A&&B"_s, u"B"_s}));
        Item(eq->miDelete, u"A&&B"_s)->trigger();
        QVERIFY(!QFileInfo::exists(EqFolder() + u"A&B.eqp"_s));
        QCOMPARE(Texts(eq->miDelete), QStringList{u"B"_s});
        QVERIFY(Boxes.empty());
    }

    void deleteFailureIsShownAndMenusRefresh() {
        TDSPItemC &item = AddEntry(dspEqualizer);
        WriteFile(EqFolder() + u"Keep.eqp"_s, "");
        TEqDSPFrm *eq = Shown(OpenEqEditor(item, nullptr));
        QAction *del = Item(eq->miDelete, u"Keep"_s);
        QFile::remove(EqFolder() + u"Keep.eqp"_s);
        del->trigger();
        QCOMPARE(Boxes.size(), size_t(1));
        QCOMPARE(Boxes[0].Text, u"Unable to delete preset (%1)"_s.arg(EqFolder() + u"Keep.eqp"_s));
        QCOMPARE(Boxes[0].Caption, u"Error"_s);
        QCOMPARE(Texts(eq->miDelete), QStringList{u"(no presets)"_s});
    }

    void presetMenuOpensUnderTheButton() {
        TDSPItemC &item = AddEntry(dspCompressor);
        TCompressorDSPFrm *comp = Shown(OpenCompressorEditor(item, nullptr));
        QPoint shownAt;
        WhenOpen(OpenMenu, [&shownAt](QWidget *AMenu) {
            shownAt = AMenu->pos();
            AMenu->close();
        });
        QTest::mouseClick(comp->btPreset, Qt::LeftButton);
        QCOMPARE(shownAt, comp->btPreset->mapToGlobal(QPoint(0, comp->btPreset->height())));
        QVERIFY(!comp->btPreset->icon().isNull());
    }

    // --- Compressor -------------------------------------------------------------------

    void compressorPresetBothWays() {
        TDSPItemC &item = AddEntry(dspCompressor, {u"-3"_s, u"-20"_s, u"2.5"_s, u"15"_s, u"300"_s});
        TCompressorDSPFrm *comp = Shown(OpenCompressorEditor(item, nullptr));
        AnswerSaveDialog(u"Radio"_s);
        comp->miSave->trigger();
        const QString path = CompFolder() + u"Radio.cmp"_s;
        QCOMPARE(FileBytes(path),
                 "[Compressor]\r\nSettings=" +
                     BlockToHex(CompressorPresetToBlock({-3, -20, 2.5, 15, 300})).toLatin1() +
                     "\r\n");
        // -3.0 is 0xC008000000000000, low byte first.
        QVERIFY(FileBytes(path).contains("Settings=00000000000008C0"));

        comp->btResetClick();
        QCOMPARE(item.Params, (QStringList{u"4"_s, u"-16"_s, u"5"_s, u"10"_s, u"200"_s}));
        Item(comp->miLoad, u"Radio"_s)->trigger();
        QCOMPARE(item.Params, (QStringList{u"-3"_s, u"-20"_s, u"2.5"_s, u"15"_s, u"300"_s}));
        QCOMPARE(comp->cpRatio->value(), 25);
        QCOMPARE(item.PresetName, u"Radio"_s);
    }

    void compressorWithFourParamsKeepsThem() {
        const QStringList four{u"1"_s, u"2"_s, u"3"_s, u"4"_s};
        TDSPItemC &item = AddEntry(dspCompressor, four);
        TCompressorDSPFrm *comp = Shown(OpenCompressorEditor(item, nullptr));
        QCOMPARE(comp->cpGain->Value(), 4.0);
        QCOMPARE(comp->cpThres->Value(), -16.0);
        QCOMPARE(comp->cpRatio->Value(), 5.0);
        QCOMPARE(comp->cpAttack->Value(), 10.0);
        QCOMPARE(comp->cpRelease->Value(), 200.0);
        QCOMPARE(item.Params, four);
        comp->cpAttack->setValue(20);
        QCOMPARE(item.Params, (QStringList{u"4"_s, u"-16"_s, u"5"_s, u"20"_s, u"200"_s}));
    }

    void compressorReadsDotDecimalsOnly() {
        TDSPItemC &item = AddEntry(dspCompressor, {u"2.5"_s, u"-10"_s, u"3,5"_s, u"x"_s, u"100"_s});
        TCompressorDSPFrm *comp = Shown(OpenCompressorEditor(item, nullptr));
        QCOMPARE(comp->cpGain->value(), 2);    // no decimals: the even neighbour
        QCOMPARE(comp->cpRatio->Value(), 1.0); // 0 is below the minimum
        QCOMPARE(comp->cpAttack->Value(), 1.0);
    }

    void compressorChangesReachTheRunningEffect() {
        TSineChannel channel;
        TDSPManager manager(u"Mic"_s, SystemIni());
        manager.DSPList = &Chain;
        manager.WorkChannel = channel.Handle();
        TDSPItemC &item = AddEntry(dspCompressor);
        item.State = psActive;
        manager.StartDSP(0);
        TIntegratedDSP *effect = FindIntDsp(item);
        QVERIFY(effect != nullptr && effect->HFX != 0);
        TCompressorDSPFrm *comp = Shown(OpenCompressorEditor(item, nullptr));
        comp->cpThres->setValue(-24);
        BASS_BFX_COMPRESSOR2 params;
        QVERIFY(BASS_FXGetParameters(effect->HFX, &params));
        QCOMPARE(params.fThreshold, -24.0f);
        QCOMPARE(params.fRatio, 5.0f);
        manager.StopDSP(0);
    }

    void compressorCurveFollowsTheSliders() {
        TDSPItemC &item = AddEntry(dspCompressor);
        TCompressorDSPFrm *comp = Shown(OpenCompressorEditor(item, nullptr));
        comp->cpGain->SetValue(3);
        comp->cpThres->SetValue(-20);
        comp->cpRatio->SetValue(4);
        const TCompressorCurveView *curve = comp->pbCurve;
        QCOMPARE(curve->ThresholdDb(), -20.0);
        QCOMPARE(curve->OutputDbAt(-40), -37.0);       // below: only the gain
        QCOMPARE(curve->OutputDbAt(-20), -17.0);       // at the threshold
        QCOMPARE(curve->OutputDbAt(0), -20 + 5.0 + 3); // 20 dB over, a quarter of it
    }

    void compressorCurveMatchesTheEngine() {
        // A steady sine through a real compressor settles where the static
        // curve says.
        TSineChannel channel;
        TDSPManager manager(u"Mic"_s, SystemIni());
        manager.DSPList = &Chain;
        manager.WorkChannel = channel.Handle();
        TDSPItemC &item = AddEntry(dspCompressor);
        item.State = psActive;
        manager.StartDSP(0);
        TCompressorDSPFrm *comp = Shown(OpenCompressorEditor(item, nullptr));
        comp->cpThres->SetValue(-30);
        comp->cpRatio->SetValue(4);
        comp->cpGain->SetValue(0);
        comp->cpAttack->SetValue(1);
        comp->cpRelease->SetValue(1);
        const double inputDb = 20 * std::log10(TSineChannel::Amplitude); // -20 dB peak
        const double measured = inputDb + channel.MeasureDb(440);
        QVERIFY2(std::abs(measured - comp->pbCurve->OutputDbAt(inputDb)) < 0.5,
                 qPrintable(u"%1 %2"_s.arg(measured).arg(comp->pbCurve->OutputDbAt(inputDb))));
        manager.StopDSP(0);
    }

    // --- Gain ---------------------------------------------------------------------------

    void gainWithoutParamsShowsZeroAndWritesOnMove() {
        TDSPItemC &item = AddEntry(dspGain);
        TGainDSPFrm *gain = Shown(OpenGainEditor(item, nullptr));
        QCOMPARE(gain->cpGain->Value(), 0.0);
        QCOMPARE(gain->cpGain->ValueLabel()->text(), u"0 dB"_s);
        QVERIFY(item.Params.isEmpty());
        gain->cpGain->setValue(-7);
        QCOMPARE(item.Params, QStringList{u"-7"_s});
    }

    void gainReachesTheRunningEffect() {
        TSineChannel channel;
        TDSPManager manager(u"Mic"_s, SystemIni());
        manager.DSPList = &Chain;
        manager.WorkChannel = channel.Handle();
        TDSPItemC &item = AddEntry(dspGain, {u"2.5"_s});
        item.State = psActive;
        manager.StartDSP(0);
        TGainDSPFrm *gain = Shown(OpenGainEditor(item, nullptr));
        QCOMPARE(gain->cpGain->value(), 2);
        gain->cpGain->setValue(6);
        auto *effect = static_cast<TIntegratedDSPGain *>(FindIntDsp(item));
        QCOMPARE(effect->FData()->Level.load(), 6.0);
        QVERIFY(std::abs(channel.MeasureDb(1000) - 6) < 0.01);
        manager.StopDSP(0);
    }

    // --- Equaliser ----------------------------------------------------------------------

    void eqShowReadsParams() {
        TDSPItemC &item = AddEntry(dspEqualizer, {u"4"_s, u"-3"_s, u"2.5"_s, u"99"_s});
        TEqDSPFrm *eq = Shown(OpenEqEditor(item, nullptr));
        QCOMPARE(eq->TrackBar[0]->value(), -4);
        QCOMPARE(eq->TrackBar[1]->value(), 3);
        QCOMPARE(eq->TrackBar[2]->value(), 0);   // a fraction reads as 0
        QCOMPARE(eq->TrackBar[3]->value(), -10); // beyond the range: its end
        QCOMPARE(eq->leq[0]->text(), u"+4"_s);
        QCOMPARE(eq->leq[1]->text(), u"-3"_s);
        QCOMPARE(eq->l_eq[5]->text(), u"1K"_s);
        QCOMPARE(eq->l_eq[9]->text(), u"16K"_s);
        QCOMPARE(eq->l_eq[10]->text(), u"---"_s);
        QVERIFY(eq->TrackBar[9]->isVisible());
        QVERIFY(!eq->TrackBar[10]->isVisible());
        QVERIFY(!eq->l_eq[11]->isVisible());
        // Showing wrote nothing.
        QCOMPARE(item.Params, (QStringList{u"4"_s, u"-3"_s, u"2.5"_s, u"99"_s}));
        QCOMPARE(TEqDSPFrm::BandCaption(999), u"999"_s);
        QCOMPARE(TEqDSPFrm::BandCaption(1999), u"1K"_s);
    }

    void eqResetAndRangeNarrowing() {
        TDSPItemC &item = AddEntry(dspEqualizer, QStringList(10, u"8"_s));
        TEqDSPFrm *eq = Shown(OpenEqEditor(item, nullptr));
        SystemIni().EQRange = 5;
        eq->LayoutBands();
        // Narrowing moved every slider to its end, and that is a change.
        QCOMPARE(item.Params, QStringList(10, u"5"_s));
        eq->btResetClick();
        QCOMPARE(item.Params, QStringList(10, u"0"_s));
        QCOMPARE(eq->leq[3]->text(), u"0"_s);
    }

    void eqChangesReachTheRunningEffectAndTheCurveMatchesIt() {
        TSineChannel channel;
        TDSPManager manager(u"Mic"_s, SystemIni());
        manager.DSPList = &Chain;
        manager.WorkChannel = channel.Handle();
        TDSPItemC &item = AddEntry(dspEqualizer);
        item.State = psActive;
        manager.StartDSP(0);
        TEqDSPFrm *eq = Shown(OpenEqEditor(item, nullptr));
        const int gains[10] = {3, -2, 5, -6, 8, -10, 4, 0, -3, 7};
        for (int i = 0; i < 10; ++i)
            eq->TrackBar[i]->setValue(-gains[i]);
        QCOMPARE(eq->pbCurve->Rate(), double(TSineChannel::Rate));
        for (int i = 0; i < 10; ++i) {
            const double freq = SystemIni().EQBands.Items(i).CenterFreq;
            const double drawn = eq->pbCurve->ResponseDbAt(freq);
            const double heard = channel.MeasureDb(freq);
            QVERIFY2(
                std::abs(drawn - heard) < 0.1,
                qPrintable(u"%1 Hz: drawn %2 dB, heard %3 dB"_s.arg(freq).arg(drawn).arg(heard)));
        }
        manager.StopDSP(0);
    }

    void eqBandDialog() {
        TDSPItemC &item = AddEntry(dspEqualizer);
        TEqDSPFrm *eq = Shown(OpenEqEditor(item, nullptr));
        TSystemIniBase &settings = SystemIni();
        {
            TDSPEqBandsFrm dialog(settings, eq);
            QCOMPARE(dialog.uBandsNum->value(), 10);
            QCOMPARE(dialog.uBand[5]->value(), 1000);
            QVERIFY(dialog.uBand[9]->isEnabled());
            QVERIFY(!dialog.uBand[10]->isEnabled());
            dialog.uBandsNum->stepUp();
            QVERIFY(dialog.uBand[10]->isEnabled());
            dialog.uBand[0]->setValue(40);
            dialog.btCancel->click();
            QCOMPARE(settings.BandsNum, 10);
            QCOMPARE(settings.EQBands.Items(0).CenterFreq, 31);
        }
        WhenOpen([] { return qobject_cast<TDSPEqBandsFrm *>(QApplication::activeModalWidget()); },
                 [](QWidget *AWidget) {
                     auto *dialog = static_cast<TDSPEqBandsFrm *>(AWidget);
                     dialog->uBandsNum->setValue(12);
                     dialog->uRange->setValue(15);
                     dialog->uBand[11]->setValue(22000);
                     dialog->uBandwidth->SetValue(1.5);
                     dialog->btOk->click();
                 });
        eq->btBands->click();
        QCOMPARE(settings.BandsNum, 12);
        QCOMPARE(settings.EQRange, 15);
        QCOMPARE(settings.Bandwidth, 1.5f);
        QCOMPARE(settings.EQBands.Items(11).CenterFreq, 22000);
        QVERIFY(eq->TrackBar[11]->isVisible());
        QCOMPARE(eq->l_eq[11]->text(), u"22K"_s);
        QCOMPARE(eq->TrackBar[11]->minimum(), -15);
    }

    // --- Windows ----------------------------------------------------------------------------

    void oneWindowPerKind() {
        TDSPItemC &first = AddEntry(dspEqualizer);
        TDSPItemC &second = AddEntry(dspEqualizer);
        TDSPItemC &comp = AddEntry(dspCompressor);
        QPointer<TEqDSPFrm> eq1 = Shown(OpenEqEditor(first, nullptr));
        QPointer<TCompressorDSPFrm> c = Shown(OpenCompressorEditor(comp, nullptr));
        QPointer<TEqDSPFrm> eq2 = Shown(OpenEqEditor(second, nullptr));
        QVERIFY(eq1.isNull());
        QVERIFY(!eq2.isNull() && eq2->D == &second);
        QVERIFY(!c.isNull() && c->isVisible());
        QCOMPARE(IntegratedEditor(dspEqualizer), eq2.data());
        CloseCompressorEditor();
        QVERIFY(c.isNull());
        QVERIFY(OpenIntegratedEditor(Chain.Add(), nullptr) == nullptr); // a plug-in entry
    }

    void escapeClosesEveryEditor_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("equaliser") << int(dspEqualizer);
        QTest::newRow("compressor") << int(dspCompressor);
        QTest::newRow("gain") << int(dspGain);
    }

    void escapeClosesEveryEditor() {
        QFETCH(int, kind);
        TDSPItemC &item = AddEntry(TIntDSPKind(kind));
        QPointer<TIntDSPEditorFrm> editor = Shown(OpenIntegratedEditor(item, nullptr));
        editor->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(editor));
        QTest::keyClick(editor, Qt::Key_Escape);
        QTRY_VERIFY(editor.isNull());
        QVERIFY(IntegratedEditor(TIntDSPKind(kind)) == nullptr);
    }

    void editorsFitTheirContent() {
        // Captions far longer than the built-in ones still fit: the layouts
        // grow the window.
        TDSPItemC &item = AddEntry(dspCompressor);
        TCompressorDSPFrm *comp = Shown(OpenCompressorEditor(item, nullptr));
        const int before = comp->width();
        comp->cpThres->SetCaption(u"A threshold caption of a long translation"_s);
        QMetaObject::invokeMethod(comp, [comp] {
            comp->hide();
            comp->show();
        });
        QTRY_VERIFY(comp->width() > before);
        const QRect caption = comp->cpThres->CaptionLabel()->geometry();
        QVERIFY(caption.left() >= 0);
        QVERIFY(caption.right() <
                comp->cpThres->parentWidget()->mapTo(comp, comp->cpThres->pos()).x() +
                    comp->width());
    }

    // --- Screen readers --------------------------------------------------------------------

    void eqSlidersSpeakFrequencyAndGain() {
        TDSPItemC &item = AddEntry(dspEqualizer, {u"0"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s, u"-3"_s});
        TEqDSPFrm *eq = Shown(OpenEqEditor(item, nullptr));
        QCOMPARE(Spoken(eq->TrackBar[5], QAccessible::Name), u"1K hertz"_s);
        QCOMPARE(Spoken(eq->TrackBar[5], QAccessible::Value), u"-3"_s);
        QCOMPARE(Spoken(eq->TrackBar[0], QAccessible::Name), u"31 hertz"_s);
        eq->TrackBar[0]->setValue(-4);
        QCOMPARE(Spoken(eq->TrackBar[0], QAccessible::Value), u"4"_s);
        QCOMPARE(Spoken(eq->TrackBar[11], QAccessible::Name), u"--- hertz"_s);
        QCOMPARE(QAccessible::queryAccessibleInterface(eq->TrackBar[0])->role(),
                 QAccessible::Slider);
        for (QWidget *control :
             {static_cast<QWidget *>(eq->btReset), static_cast<QWidget *>(eq->btPreset),
              static_cast<QWidget *>(eq->btBands), static_cast<QWidget *>(eq->btOk),
              static_cast<QWidget *>(eq->pbCurve)})
            QVERIFY2(!Spoken(control, QAccessible::Name).isEmpty(),
                     qPrintable(control->objectName()));
    }

    void compressorSlidersSpeakTheirValues() {
        TDSPItemC &item = AddEntry(dspCompressor);
        TCompressorDSPFrm *comp = Shown(OpenCompressorEditor(item, nullptr));
        const struct {
            TLBar *Bar;
            QString Name;
            QString Value;
        } rows[] = {
            {comp->cpGain, u"Gain"_s, u"4 dB"_s},
            {comp->cpThres, u"Threshold"_s, u"-16 dB"_s},
            {comp->cpRatio, u"Ratio"_s, QLocale().toString(5.0, 'f', 1)},
            {comp->cpAttack, u"Attack"_s, u"10 ms"_s},
            {comp->cpRelease, u"Release"_s, u"200 ms"_s},
        };
        for (const auto &row : rows) {
            QCOMPARE(Spoken(row.Bar, QAccessible::Name), row.Name);
            QCOMPARE(Spoken(row.Bar, QAccessible::Value), row.Value);
        }
        QVERIFY(!Spoken(comp->pbCurve, QAccessible::Name).isEmpty());
    }

    // --- Keyboard only ------------------------------------------------------------------------

    void keyboardSetsThresholdAndSavesAPreset() {
        TDSPItemC &item = AddEntry(dspCompressor);
        TCompressorDSPFrm *comp = Shown(OpenCompressorEditor(item, nullptr));
        comp->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(comp));
        comp->cpThres->setFocus();
        QTRY_VERIFY(comp->cpThres->hasFocus());
        QTest::keyClick(comp->cpThres, Qt::Key_Home); // -30
        QTest::keyClick(comp->cpThres, Qt::Key_Right);
        QTest::keyClick(comp->cpThres, Qt::Key_Right);
        QCOMPARE(item.Params.value(1), u"-28"_s);
        QCOMPARE(Spoken(comp->cpThres, QAccessible::Value), u"-28 dB"_s);

        // Tab on to the "Preset" button, open its menu with the space bar,
        // and take "Save..." with the arrow keys.
        int tabs = 0;
        while (!comp->btPreset->hasFocus() && tabs++ < 20)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(comp->btPreset->hasFocus());
        WhenOpen(OpenMenu, [](QWidget *AMenu) {
            QTest::keyClick(AMenu, Qt::Key_Down); // Load
            QTest::keyClick(AMenu, Qt::Key_Down); // Save...
            QTest::keyClick(AMenu, Qt::Key_Return);
        });
        WhenOpen(ModalInputDialog, [](QWidget *ADialog) {
            QWidget *edit = ADialog->focusWidget();
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(edit, u"By/keys"_s);
            QTest::keyClick(edit, Qt::Key_Return);
        });
        QTest::keyClick(comp->btPreset, Qt::Key_Space);
        QTRY_VERIFY(QFileInfo::exists(CompFolder() + u"Bykeys.cmp"_s));
        const TCompressorPreset saved = CompressorPresetFromBlock(
            *ReadPresetBlock(CompressorPresetKind(), CompFolder() + u"Bykeys.cmp"_s));
        QCOMPARE(saved[1], -28.0);
        QCOMPARE(item.PresetName, u"Bykeys"_s);
    }

    // --- Captions ----------------------------------------------------------------------------

    void captionsComeFromTheLanguageFile() {
        WriteFile(Dir->path() + u"/exe/Lang/En/lang.ini"_s,
                  "[EqDSP.Captions]\n@=Entzerrer\nbtReset='Zur\xC3\xBC"
                  "cksetzen'\n"
                  "[CompressorDSP.Captions]\ncpThres=Schwelle\n");
        SetDefaultLanguageFile(u"lang.ini"_s);
        TDSPItemC &eqItem = AddEntry(dspEqualizer);
        TDSPItemC &compItem = AddEntry(dspCompressor);
        TEqDSPFrm *eq = Shown(OpenEqEditor(eqItem, nullptr));
        TCompressorDSPFrm *comp = Shown(OpenCompressorEditor(compItem, nullptr));
        QCOMPARE(eq->windowTitle(), u"Entzerrer"_s);
        QCOMPARE(eq->btReset->text(), u"Zurücksetzen"_s);
        QCOMPARE(comp->windowTitle(), u"Compressor"_s);
        QCOMPARE(comp->cpThres->Caption(), u"Schwelle"_s);
        QCOMPARE(Spoken(comp->cpThres, QAccessible::Name), u"Schwelle"_s);
        SetDefaultLanguageFile(QString());
    }
};

QTEST_MAIN(TEffectEditorsTest)
#include "EffectEditorsTest.moc"

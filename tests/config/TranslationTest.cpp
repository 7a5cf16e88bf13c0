// Caption translations from language files, applied to a window made of
// plain components.

#include "config/Translation.h"

#include "ConfigTestSupport.h"
#include "config/DataDirs.h"
#include "config/TextCodec.h"

#include <QDir>
#include <QMap>
#include <cctype>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// A component with string properties, optionally one property that holds no
// string ("Tag"), and the components it owns.
class TFakeComponent : public TTranslatable {
public:
    TFakeComponent(QString AName, TComponentKind AKind, QString ACaption)
        : FName(std::move(AName)), FKind(AKind) {
        Strings.insert(u"Caption"_s, std::move(ACaption));
    }

    TFakeComponent &Own(const QString &AName, TComponentKind AKind, const QString &ACaption) {
        FOwned.push_back(std::make_unique<TFakeComponent>(AName, AKind, ACaption));
        return *FOwned.back();
    }

    QString Name() const override { return FName; }
    TComponentKind Kind() const override { return FKind; }

    bool ReadStringProperty(const QString &AProperty, QString &AValue) const override {
        const QString key = Key(AProperty);
        if (key.isEmpty())
            return false;
        AValue = Strings.value(key);
        return true;
    }
    bool WriteStringProperty(const QString &AProperty, const QString &AValue) override {
        const QString key = Key(AProperty);
        if (key.isEmpty())
            return false;
        Strings[key] = AValue;
        return true;
    }
    std::vector<TTranslatable *> OwnedComponents() const override {
        std::vector<TTranslatable *> owned;
        for (const auto &component : FOwned)
            owned.push_back(component.get());
        return owned;
    }

    // "Owner.Name.Property" -> value for this component and all it owns.
    void Snapshot(const QString &APrefix, std::map<std::string, std::string> &AValues) const {
        const QString path = APrefix.isEmpty() ? FName : APrefix + u'.' + FName;
        for (auto it = Strings.cbegin(); it != Strings.cend(); ++it)
            AValues[(path + u'.' + it.key()).toStdString()] = it.value().toStdString();
        for (const auto &component : FOwned)
            component->Snapshot(path, AValues);
    }

    QMap<QString, QString> Strings;
    bool HasTag = false;

private:
    // Property names are found without regard to case, like the window layer does.
    QString Key(const QString &AProperty) const {
        if (HasTag && AProperty.compare(u"Tag"_s, Qt::CaseInsensitive) == 0)
            return QString();
        for (auto it = Strings.cbegin(); it != Strings.cend(); ++it)
            if (it.key().compare(AProperty, Qt::CaseInsensitive) == 0)
                return it.key();
        return QString();
    }

    QString FName;
    TComponentKind FKind;
    std::vector<std::unique_ptr<TFakeComponent>> FOwned;
};

// A window like the microphone DSP window: buttons, a menu item, a
// non-visual component with a caption, and an embedded frame with controls of
// its own (one of them named like a button of the window).
std::unique_ptr<TFakeComponent> MakeWindow() {
    auto form = std::make_unique<TFakeComponent>(u"MicDSPForm"_s, ckForm, u"Mic DSP"_s);
    form->Own(u"btOK"_s, ckControl, u"OK"_s).Strings.insert(u"Hint"_s, u"Close"_s);
    form->Own(u"btCancel"_s, ckControl, u"Cancel"_s);
    form->Own(u"miFile"_s, ckMenuItem, u"File"_s);
    form->Own(u"dlgOpen"_s, ckOther, u"Open"_s);
    form->Own(u"lbTag"_s, ckControl, u"Tag"_s).HasTag = true;
    TFakeComponent &frame = form->Own(u"frBands"_s, ckFrame, u"Bands"_s);
    frame.Own(u"lbLow"_s, ckControl, u"Low"_s);
    frame.Own(u"btOK"_s, ckControl, u"OK"_s);
    return form;
}

std::map<std::string, std::string> Snapshot(const TFakeComponent &AWindow) {
    std::map<std::string, std::string> values;
    AWindow.Snapshot(QString(), values);
    return values;
}

struct TChange {
    QString Path; // "MicDSPForm.btOK.Caption"
    QString Value;
};

struct TCase {
    const char *Name;
    QString FileText; // nothing written when null
    TTextEncoding Encoding;
    bool IncludeFrames;
    QString Property;
    std::vector<TChange> Changes; // every other value stays as built
    bool FrameAsWindow = false;
};

class TranslationFixture : public TTempDirTest {
protected:
    void TearDown() override {
        SetTranslationStringsFile(QString());
        SetDefaultLanguageFile(QString());
        SetLangDirSource(nullptr);
        SetProcessDirs({});
        TTempDirTest::TearDown();
    }

    void WriteText(const QString &AName, const QString &AText,
                   TTextEncoding AEncoding = teUtf8) const {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(Path(AName)).absolutePath()));
        WriteBytes(AName, EncodeText(AText, AEncoding));
    }

    // Applies AApply and checks that exactly AChanges happened.
    static void ExpectChanges(TFakeComponent &AWindow, const std::vector<TChange> &AChanges,
                              const std::function<void()> &AApply) {
        std::map<std::string, std::string> expected = Snapshot(AWindow);
        for (const TChange &change : AChanges) {
            const std::string path = change.Path.toStdString();
            ASSERT_TRUE(expected.count(path) == 1) << path;
            expected[path] = change.Value.toStdString();
        }
        AApply();
        EXPECT_EQ(Snapshot(AWindow), expected);
    }
};

class Translation : public TranslationFixture {};
class TranslationCases : public TranslationFixture, public ::testing::WithParamInterface<TCase> {};

const QString Section = u"MicDSP.Captions"_s;

TEST_P(TranslationCases, AppliesTheLanguageFile) {
    const TCase &c = GetParam();
    if (!c.FileText.isNull())
        WriteText(u"lang.ini"_s, c.FileText, c.Encoding);
    const std::unique_ptr<TFakeComponent> form = MakeWindow();
    TFakeComponent *window = form.get();
    if (c.FrameAsWindow)
        window = static_cast<TFakeComponent *>(form->OwnedComponents().back());

    ExpectChanges(*form, c.Changes, [&] {
        ApplyTranslation(*window, Path(u"lang.ini"_s), Section, c.IncludeFrames, c.Property);
    });
}

const TCase Cases[] = {
    {"section example",
     u"[MicDSP.Captions]\r\n@=Microphone processing\r\nbtOK='OK'\r\n"_s,
     teUtf8,
     false,
     u"Caption"_s,
     {{u"MicDSPForm.Caption"_s, u"Microphone processing"_s},
      {u"MicDSPForm.btOK.Caption"_s, u"OK"_s}}},
    {"window caption taken as written",
     u"[MicDSP.Captions]\n@='Mic'\n"_s,
     teUtf8,
     false,
     u"Caption"_s,
     {{u"MicDSPForm.Caption"_s, u"'Mic'"_s}}},
    {"at key of a frame changes nothing",
     u"[MicDSP.Captions]\n@=Bänder\nlbLow=Tief\n"_s,
     teUtf8,
     false,
     u"Caption"_s,
     {{u"MicDSPForm.frBands.lbLow.Caption"_s, u"Tief"_s}},
     true},
    {"names ignore case",
     u"[micdsp.captions]\nBTCANCEL=Abbrechen\n"_s,
     teUtf8,
     false,
     u"Caption"_s,
     {{u"MicDSPForm.btCancel.Caption"_s, u"Abbrechen"_s}}},
    {"unknown component ignored",
     u"[MicDSP.Captions]\nbtMissing=Lost\nbtOK=Fine\n"_s,
     teUtf8,
     false,
     u"Caption"_s,
     {{u"MicDSPForm.btOK.Caption"_s, u"Fine"_s}}},
    {"quotes keep blanks and stand for themselves doubled",
     u"[MicDSP.Captions]\nbtOK='  spaced  '\nbtCancel='it''s'\nmiFile=it''s\n"_s,
     teUtf8,
     false,
     u"Caption"_s,
     {{u"MicDSPForm.btOK.Caption"_s, u"  spaced  "_s},
      {u"MicDSPForm.btCancel.Caption"_s, u"it's"_s},
      {u"MicDSPForm.miFile.Caption"_s, u"it''s"_s}}},
    {"lone and empty quotes",
     u"[MicDSP.Captions]\nbtOK='\nbtCancel=''\n"_s,
     teUtf8,
     false,
     u"Caption"_s,
     {{u"MicDSPForm.btOK.Caption"_s, u"'"_s}, {u"MicDSPForm.btCancel.Caption"_s, QString()}}},
    {"another property",
     u"[MicDSP.Captions]\nbtOK=Schließen\nbtCancel=Nope\n"_s,
     teUtf8,
     false,
     u"Hint"_s,
     {{u"MicDSPForm.btOK.Hint"_s, u"Schließen"_s}}},
    {"property that holds no string passed over",
     u"[MicDSP.Captions]\nlbTag=5\n[TranslationStrings]\nTag=Etikett\n"_s,
     teUtf8,
     false,
     u"Tag"_s,
     {}},
    {"frame components untouched without frames",
     u"[MicDSP.Captions]\nlbLow=Tief\nfrBands=Bänder\nbtOK=Gut\n"_s,
     teUtf8,
     false,
     u"Caption"_s,
     {{u"MicDSPForm.frBands.Caption"_s, u"Bänder"_s}, {u"MicDSPForm.btOK.Caption"_s, u"Gut"_s}}},
    {"frame components with frames",
     u"[MicDSP.Captions]\nlbLow=Tief\nbtOK=Gut\n"_s,
     teUtf8,
     true,
     u"Caption"_s,
     {{u"MicDSPForm.frBands.lbLow.Caption"_s, u"Tief"_s},
      {u"MicDSPForm.btOK.Caption"_s, u"Gut"_s},
      {u"MicDSPForm.frBands.btOK.Caption"_s, u"Gut"_s}}},
    {"by text",
     u"[TranslationStrings]\nCancel=Abbrechen\nFILE=Datei\nOpen=Öffnen\nOK=\nLow=Tief\n"_s,
     teUtf8,
     false,
     u"Caption"_s,
     {{u"MicDSPForm.btCancel.Caption"_s, u"Abbrechen"_s},
      {u"MicDSPForm.miFile.Caption"_s, u"Datei"_s}}},
    {"by text in frames",
     u"[TranslationStrings]\nLow=Tief\nBands=Bänder\n"_s,
     teUtf8,
     true,
     u"Caption"_s,
     {{u"MicDSPForm.frBands.Caption"_s, u"Bänder"_s},
      {u"MicDSPForm.frBands.lbLow.Caption"_s, u"Tief"_s}}},
    {"by name wins over by text",
     u"[MicDSP.Captions]\nbtCancel=Stop\n[TranslationStrings]\nCancel=Abbrechen\nOK=Gut\n"_s,
     teUtf8,
     false,
     u"Caption"_s,
     {{u"MicDSPForm.btCancel.Caption"_s, u"Stop"_s}, {u"MicDSPForm.btOK.Caption"_s, u"Gut"_s}}},
    {"section of another window",
     u"[DSPAdd.Captions]\nbtOK=Hinzufügen\n@=Add\n"_s,
     teUtf8,
     false,
     u"Caption"_s,
     {}},
    {"missing file", QString(), teUtf8, false, u"Caption"_s, {}},
    {"UTF-16 file",
     u"[MicDSP.Captions]\n@=Mikrofon – Bearbeitung\n"_s,
     teUtf16LE,
     false,
     u"Caption"_s,
     {{u"MicDSPForm.Caption"_s, u"Mikrofon – Bearbeitung"_s}}},
    {"Windows-1252 file",
     u"[MicDSP.Captions]\nbtCancel=Zurück\n"_s,
     teWindows1252,
     false,
     u"Caption"_s,
     {{u"MicDSPForm.btCancel.Caption"_s, u"Zurück"_s}}},
};

INSTANTIATE_TEST_SUITE_P(Cases, TranslationCases, ::testing::ValuesIn(Cases),
                         [](const ::testing::TestParamInfo<TCase> &AInfo) {
                             std::string name;
                             for (const char *p = AInfo.param.Name; *p != '\0'; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST_F(Translation, StringsFileReplacesTheLanguageFilesOwn) {
    WriteText(u"lang.ini"_s, u"[TranslationStrings]\nCancel=Abbrechen\n[MicDSP.Captions]\n"
                             u"btOK=Gut\n"_s);
    WriteText(u"strings.ini"_s, u"[TranslationStrings]\nFile=Datei\n"_s);
    SetTranslationStringsFile(Path(u"strings.ini"_s));
    const std::unique_ptr<TFakeComponent> form = MakeWindow();

    ExpectChanges(
        *form,
        {{u"MicDSPForm.miFile.Caption"_s, u"Datei"_s}, {u"MicDSPForm.btOK.Caption"_s, u"Gut"_s}},
        [&] { ApplyTranslation(*form, Path(u"lang.ini"_s), Section, false, u"Caption"_s); });
}

TEST_F(Translation, LanguageFilePath) {
    struct TPathCase {
        QString LangDir;
        QString Name;
        QString Expected;
    };
    const TPathCase cases[] = {
        {u"En"_s, u"lang.ini"_s, u"/opt/vocarra/Lang/En/lang.ini"_s},
        {u"En"_s, QString(), u"/opt/vocarra/Lang/En/"_s},
        {u"Sub\\De"_s, u"lang.ini"_s, u"/opt/vocarra/Lang/Sub/De/lang.ini"_s},
    };
    for (const TPathCase &c : cases) {
        SCOPED_TRACE(c.LangDir.toStdString());
        EXPECT_EQ(LanguageFilePath(u"/opt/vocarra/"_s, c.LangDir, c.Name), c.Expected);
    }

    SetProcessDirs({u"/opt/vocarra/"_s, {}, u"/opt/vocarra/"_s});
    EXPECT_EQ(LanguageFilePath(QString()), u"/opt/vocarra/Lang/En/"_s) << "no source: En";
    SetLangDirSource([] { return u"De"_s; });
    EXPECT_EQ(LanguageFilePath(u"x.ini"_s), u"/opt/vocarra/Lang/De/x.ini"_s);
    SetDefaultLanguageFile(u"lang.ini"_s);
    EXPECT_EQ(LanguageFilePath(QString()), u"/opt/vocarra/Lang/De/lang.ini"_s);
}

// The language folder holds a lang.ini that would translate the window.
class TranslateCaptionsTest : public TranslationFixture {
protected:
    void SetUp() override {
        SetProcessDirs({Path(u"program/"_s), {}, Path(u"program/"_s)});
        SetLangDirSource([] { return u"De"_s; });
        WriteText(u"program/Lang/De/lang.ini"_s,
                  u"[MicDSP.Captions]\n@=Mikrofon\nbtOK=Gut\nlbLow=Tief\n"
                  u"[TranslationStrings]\nCancel=Abbrechen\n"_s);
    }
};

TEST_F(TranslateCaptionsTest, WithoutADefaultFileTheFolderReadsAsEmpty) {
    const std::unique_ptr<TFakeComponent> form = MakeWindow();
    ExpectChanges(*form, {}, [&] { TranslateCaptions(*form, Section, false); });
}

TEST_F(TranslateCaptionsTest, DefaultFileTranslatesCaptions) {
    SetDefaultLanguageFile(u"lang.ini"_s);
    const std::unique_ptr<TFakeComponent> form = MakeWindow();
    ExpectChanges(*form,
                  {{u"MicDSPForm.Caption"_s, u"Mikrofon"_s},
                   {u"MicDSPForm.btOK.Caption"_s, u"Gut"_s},
                   {u"MicDSPForm.btCancel.Caption"_s, u"Abbrechen"_s}},
                  [&] { TranslateCaptions(*form, Section, false); });
}

TEST_F(TranslateCaptionsTest, UnreadableFileTranslatesNothing) {
    // A pipe exists but cannot be read as a file, whoever runs the test.
    SetDefaultLanguageFile(u"pipe.ini"_s);
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path(u"program/Lang/De/pipe.ini"_s)).constData(), 0600),
              0);
    const std::unique_ptr<TFakeComponent> form = MakeWindow();
    ExpectChanges(*form, {}, [&] { TranslateCaptions(*form, Section, false); });
}

} // namespace

#include "config/Translation.h"

#include "config/ConfigErrors.h"
#include "config/DataDirs.h"
#include "config/IniFile.h"

#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString StringsSection = u"TranslationStrings"_s;
const QString FormCaption = u"Caption"_s;
const QString FormCaptionKey = u"@"_s;

struct TTranslationNames {
    QString StringsFile;
    QString DefaultFile;
    std::function<QString()> LangDirSource;
};

TTranslationNames &Names() {
    static TTranslationNames Instance;
    return Instance;
}

// A language file that is missing, is a folder or cannot be read translates
// nothing; a window keeps its built-in captions rather than failing to show.
TIniFile ReadLanguageFile(const QString &AFileName) {
    try {
        return TIniFile(AFileName);
    } catch (const EConfigError &) {
        return TIniFile();
    }
}

// Single quotes keep leading and trailing blanks that the ini text would
// lose: "'OK '" is "OK ", and "''" inside stands for one quote.
QString Dequote(const QString &AValue) {
    if (AValue.size() < 2 || !AValue.startsWith(u'\'') || !AValue.endsWith(u'\''))
        return AValue;
    QString inner = AValue.mid(1, AValue.size() - 2);
    inner.replace(u"''"_s, u"'"_s);
    return inner;
}

std::vector<TTranslatable *> Frames(const TTranslatable &AWindow) {
    std::vector<TTranslatable *> frames;
    for (TTranslatable *component : AWindow.OwnedComponents())
        if (component->Kind() == ckFrame)
            frames.push_back(component);
    return frames;
}

// The section "TranslationStrings" maps source texts to their translations.
// Each current text is looked up in the file as it stands, rather than the
// whole section being copied first: that section can hold thousands of texts,
// and a window has only a few dozen components.
void ReplaceByText(const TTranslatable &AOwner, const TIniFile &AStrings,
                   const QString &APropertyName) {
    for (TTranslatable *component : AOwner.OwnedComponents()) {
        if (component->Kind() == ckOther)
            continue;
        QString current;
        if (!component->ReadStringProperty(APropertyName, current))
            continue;
        // Keys are stored without surrounding blanks, so a text with blanks
        // around it (or an empty one) never names a key.
        if (current.isEmpty() || current.trimmed() != current)
            continue;
        const QString translation = AStrings.ReadString(StringsSection, current, QString());
        if (!translation.isEmpty())
            component->WriteStringProperty(APropertyName, translation);
    }
}

TTranslatable *FindOwned(const TTranslatable &AOwner, const QString &AName) {
    // A component without a name is never the one a key names.
    if (AName.isEmpty())
        return nullptr;
    for (TTranslatable *component : AOwner.OwnedComponents())
        if (component->Name().compare(AName, Qt::CaseInsensitive) == 0)
            return component;
    return nullptr;
}

void SetNamed(const TTranslatable &AOwner, const QString &AName, const QString &APropertyName,
              const QString &AValue) {
    if (TTranslatable *component = FindOwned(AOwner, AName))
        component->WriteStringProperty(APropertyName, AValue);
}

} // namespace

void SetTranslationStringsFile(const QString &AFileName) {
    Names().StringsFile = AFileName;
}

const QString &TranslationStringsFile() {
    return Names().StringsFile;
}

void SetDefaultLanguageFile(const QString &AFileName) {
    Names().DefaultFile = AFileName;
}

const QString &DefaultLanguageFile() {
    return Names().DefaultFile;
}

void SetLangDirSource(std::function<QString()> ASource) {
    Names().LangDirSource = std::move(ASource);
}

QString LanguageFilePath(const QString &AExeDir, const QString &ALangDir, const QString &AName) {
    return AExeDir + u"Lang/"_s + StoredToNative(ALangDir) + u'/' + AName;
}

QString LanguageFilePath(const QString &AName) {
    const QString langDir = Names().LangDirSource ? Names().LangDirSource() : u"En"_s;
    return LanguageFilePath(ExeDir(), langDir, AName.isEmpty() ? DefaultLanguageFile() : AName);
}

void ApplyTranslation(TTranslatable &AWindow, const QString &AFileName, const QString &ASection,
                      bool AIncludeFrames, const QString &APropertyName) {
    const TIniFile ini = ReadLanguageFile(AFileName);
    const TIniFile otherStrings = TranslationStringsFile().isEmpty()
                                      ? TIniFile()
                                      : ReadLanguageFile(TranslationStringsFile());
    const TIniFile &strings = TranslationStringsFile().isEmpty() ? ini : otherStrings;
    const std::vector<TTranslatable *> frames =
        AIncludeFrames ? Frames(AWindow) : std::vector<TTranslatable *>();

    if (strings.SectionExists(StringsSection)) {
        ReplaceByText(AWindow, strings, APropertyName);
        for (const TTranslatable *frame : frames)
            ReplaceByText(*frame, strings, APropertyName);
    }

    // By name second, so that a caption the section names wins over a text
    // replacement.
    for (const QString &key : ini.ReadSection(ASection)) {
        if (key == FormCaptionKey) {
            // A frame has no caption of its own to set.
            if (AWindow.Kind() != ckForm)
                continue;
            QString caption;
            AWindow.ReadStringProperty(FormCaption, caption);
            AWindow.WriteStringProperty(FormCaption, ini.ReadString(ASection, key, caption));
            continue;
        }
        const QString value = Dequote(ini.ReadString(ASection, key, QString()));
        SetNamed(AWindow, key, APropertyName, value);
        for (const TTranslatable *frame : frames)
            SetNamed(*frame, key, APropertyName, value);
    }
}

void TranslateCaptions(TTranslatable &AWindow, const QString &ASection, bool AIncludeFrames) {
    ApplyTranslation(AWindow, LanguageFilePath(QString()), ASection, AIncludeFrames, u"Caption"_s);
}

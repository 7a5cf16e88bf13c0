#pragma once
// Caption translations: language files below ExeDir + "Lang/" + LangDir + "/",
// ini text whose sections name windows ("MicDSP.Captions") and whose keys name
// the window's components (or "@" for the window's own caption). Main thread
// only.

#include "config/Translatable.h"

#include <QString>
#include <functional>

// --- Process-wide settings (both empty unless someone sets them) ------------

// A file whose section "TranslationStrings" replaces the language file's own.
void SetTranslationStringsFile(const QString &AFileName);
const QString &TranslationStringsFile();
// The language file TranslateCaptions reads when its caller names none.
void SetDefaultLanguageFile(const QString &AFileName);
const QString &DefaultLanguageFile();

// Where the language folder name comes from: start-up hands over the system
// configuration's resolved LangDir. Unset, the folder is "En".
void SetLangDirSource(std::function<QString()> ASource);

// --- Operations -------------------------------------------------------------

// ALangDir may be stored in its Windows form ("En", "Sub\De").
QString LanguageFilePath(const QString &AExeDir, const QString &ALangDir, const QString &AName);
// ExeDir + "Lang/" + LangDir + "/" + AName; an empty AName means the default
// language file name.
QString LanguageFilePath(const QString &AName);

// Sets the string property APropertyName of AWindow's components from
// AFileName: first by text (their current value looked up in the section
// "TranslationStrings"), then by name (the keys of ASection), so a caption
// named in the section wins. AIncludeFrames extends both to the components of
// the window's embedded frames. Missing files, sections, components and
// properties are passed over silently.
void ApplyTranslation(TTranslatable &AWindow, const QString &AFileName, const QString &ASection,
                      bool AIncludeFrames, const QString &APropertyName);

// ApplyTranslation of the window's "Caption"s from the default language file.
// The shape of the caption-translation callback handed to the plug-in layer.
void TranslateCaptions(TTranslatable &AWindow, const QString &ASection, bool AIncludeFrames);
using TTranslateCaptions =
    std::function<void(TTranslatable &AWindow, const QString &ASection, bool AIncludeFrames)>;

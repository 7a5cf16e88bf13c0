#include "config/Settings.h"

#include "config/ComponentFile.h"
#include "config/ConfigErrors.h"
#include "config/PropBuilders.h"
#include "core/MessageBox.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// The password is in the file in clear text.
constexpr unsigned SettingsFileMode = 0600;

void ReportError(const QString &AFormat, const QString &AError) {
    MyMessageBox(AFormat.arg(AError), u"Error"_s, mbIconError);
}

} // namespace

const TPropTable &TMyColumn::Properties() const {
    static const TPropTable Table{
        Prop::Integer(u"Width"_s, &TMyColumn::Width),
        Prop::Integer(u"Pos"_s, &TMyColumn::Pos),
        Prop::Boolean(u"Visible"_s, &TMyColumn::Visible),
    };
    return Table;
}

QString TMyColumn::ClassName() const {
    return u"TMyColumn"_s;
}

const TPropTable &TSettings::Properties() const {
    static const TPropTable Table{
        Prop::String(u"Server"_s, &TSettings::Server),
        Prop::Boolean(u"TLS"_s, &TSettings::TLS),
        Prop::Integer(u"Port"_s, &TSettings::Port),
        Prop::String(u"User"_s, &TSettings::User),
        Prop::String(u"Pass"_s, &TSettings::Pass),
        Prop::Collection(u"PlaylistCols"_s, &TSettings::PlaylistCols),
    };
    return Table;
}

QString TSettings::ClassName() const {
    return u"TSettings"_s;
}

void TSettings::Read(const QString &AFileName) {
    if (!QFileInfo::exists(AFileName))
        return;
    try {
        ReadComponentFile(*this, AFileName);
    } catch (const EConfigError &e) {
        // Both a file that cannot be read and a text that does not parse
        // (its message names the line) end up here, reported once.
        ReportError(u"Error loading settings: %1."_s, e.Message());
    }
}

void TSettings::Save(const QString &AFileName) const {
    try {
        WriteComponentFile(*this, AFileName, SettingsFileMode);
    } catch (const EConfigError &e) {
        ReportError(u"Error saving settings: %1."_s, e.Message());
    } catch (const std::exception &e) {
        ReportError(u"Error saving settings: %1."_s, QString::fromLocal8Bit(e.what()));
    }
}

TSettings &Settings() {
    static TSettings Instance;
    return Instance;
}

// micdeck: the voice-track recorder. Vocarra's Record button starts it with
// -vocarra; scripts and tests record headless with --record and hand a take
// to the running Vocarra with --insert.

#include "app/micdeck/HeadlessRecord.h"
#include "app/micdeck/InsertTake.h"
#include "core/CoreDumps.h"
#include "core/NativeNames.h"
#include "linux_audio/LinuxAudioLibrary.h"
#include "vst/PluginCatalogue.h"
#include "vst/VstHost.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[]) {
    DisableCoreDumps();
    // File names among the arguments keep every byte.
    const QStringList arguments = ArgumentsFromNative(argc, argv);
    QCoreApplication app(argc, argv);
    if (arguments == QStringList{QStringLiteral("-vocarra")}) {
        std::fputs("micdeck: the recorder window is not built yet; record with micdeck --record "
                   "SECONDS --out FILE\n",
                   stderr);
        return 1;
    }
    if (!arguments.isEmpty() && arguments[0] == u"--insert")
        return RunInsertTake(arguments);
    const TInstalledVstHost vstHost(DefaultScannerProgram());
    InstallLinuxAudioLibrary();
    return RunHeadlessRecord(arguments);
}

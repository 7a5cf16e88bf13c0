// vocarra: the presenter's window onto the station's playlist.

#include "app/windows/MainForm.h"
#include "app/windows/TerminationSignals.h"
#include "config/DataDirs.h"
#include "controls/WindowHelpers.h"
#include "core/CoreDumps.h"
#include "dspwindows/MicDSPForm.h"
#include "dspwindows/VSTParamForm.h"
#include "linux_audio/LinuxAudioLibrary.h"
#include "remote/API.h"
#include "station/Startup.h"
#include "station/SystemIni.h"
#include "vst/PluginCatalogue.h"
#include "vst/VstHost.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    DisableCoreDumps();
    QApplication app(argc, argv);
    InitSharedConfig();
    InstallLinuxAudioLibrary();
    InstallWidgetMessageBoxes();
    int result = 0;
    // Outlives the window and so every chain the window runs.
    const TInstalledVstHost vstHost(DefaultScannerProgram());
    InstallVSTParamWindows();
    PluginCatalogue().InitPlugins(&SystemIni(), DataDir(),
                                  WithTrailingSeparator(ProgramDir()) + QStringLiteral("Plugins/"),
                                  DefaultScannerProgram());
    {
        TMainFrm form;
        CloseOnTerminationSignals(&form);
        form.show();
        result = QApplication::exec();
    }
    // Plug-in editors close while their host is still there.
    FreeVSTParamWindows();
    FreeMicDSPFrm();
    // Requests still running give up; none of them may run into the exit.
    TAPI::Shutdown();
    return result;
}

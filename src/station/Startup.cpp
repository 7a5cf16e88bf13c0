#include "station/Startup.h"

#include "config/DataDirs.h"
#include "config/Translation.h"
#include "devices/AudioLibrary.h"
#include "station/PlayerIni.h"
#include "station/SystemIni.h"

#include <mutex>

namespace {

// Creates and reads the player configuration (player.ini), then the system
// configuration (system.ini), both from DataDir, and takes the language
// folder for the translations from the system configuration from then on.
void ReadSharedStationConfig() {
    PlayerIni().Read();
    SystemIni().Read();
    SetLangDirSource([] { return SystemIni().ResolveLangDir(); });
}

} // namespace

void InitSharedConfig() {
    static std::once_flag Done;
    std::call_once(Done, [] {
        SetProcessDirs({ProgramDir(), {}, {}});
        ResolveDataDir();
        ReadSharedStationConfig();
        // The library keeps 8-bit text in the system's encoding.
        SetNetworkUserAgent(SystemIni().StreamUserAgent.toLocal8Bit());
    });
}

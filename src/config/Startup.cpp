#include "config/Startup.h"

#include "config/DataDirs.h"

#include <mutex>

namespace {

// Creates and reads the player configuration (player.ini), then the system
// configuration (system.ini), both from DataDir, and hands the station's
// stream user agent to the audio library. Filled in together with those
// configuration objects; until then the program runs on its built-in values.
void ReadSharedStationConfig() {}

} // namespace

void InitSharedConfig() {
    static std::once_flag Done;
    std::call_once(Done, [] {
        SetProcessDirs({ProgramDir(), {}, {}});
        ResolveDataDir();
        ReadSharedStationConfig();
    });
}

#include "config/Settings.h"

TSettings &Settings() {
    static TSettings Instance;
    return Instance;
}

#include "core/FileVersion.h"

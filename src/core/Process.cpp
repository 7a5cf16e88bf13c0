#include "core/Process.h"

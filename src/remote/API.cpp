#include "remote/API.h"

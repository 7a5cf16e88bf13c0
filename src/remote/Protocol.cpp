#include "remote/Protocol.h"

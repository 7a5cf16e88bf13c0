#include "remote/HttpTransport.h"

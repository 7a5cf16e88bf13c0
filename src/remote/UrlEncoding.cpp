#include "remote/UrlEncoding.h"

#include "remote/UploadBody.h"

#include "remote/ReplyDecoders.h"

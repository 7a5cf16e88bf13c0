#include "remote/XmlParser.h"

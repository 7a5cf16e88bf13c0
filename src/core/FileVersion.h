#pragma once
// The version stamped into a program file at build time.

#include <QString>

// "a.b.c.d" read back from the program file; empty when it carries no stamp.
// The first non-empty result is kept and returned for every later call.
QString GetFileVersionText(const QString &AFileName);

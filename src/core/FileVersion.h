#pragma once
// The version stamped into a program file at build time.
//
// vocarra_stamp_version() (cmake/VersionStamp.cmake) adds an ELF note to the
// program: section ".note.vocarra.version", owner "Vocarra", type 1, and four
// 32-bit numbers in the file's byte order. The functions below find that note
// through the section headers, so the stamp survives stripping.

#include <QString>

// "a.b.c.d" read back from the program file; empty when it carries no stamp.
// The first non-empty result is kept and returned for every later call,
// whatever file is asked for (the program only asks for its own file).
QString GetFileVersionText(const QString &AFileName);

// The same reading without the cache: "a.b.c.d", or empty when the file is
// missing, is not an ELF file, is damaged or carries no stamp.
QString ReadFileVersionStamp(const QString &AFileName);

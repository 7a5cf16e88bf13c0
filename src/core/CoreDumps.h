#pragma once
// The programs hold the station password in memory; a core dump would write
// it to the disk. Called first thing in main, before the settings are read.

// Sets the core file size limit to zero and makes the process not dumpable
// (which also keeps other users' debuggers out of it). Returns false when
// either could not be done.
bool DisableCoreDumps();

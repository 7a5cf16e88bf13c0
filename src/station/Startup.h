#pragma once
// The start-up of the shared configuration, run on the main thread before the
// main window exists.

// Settles ExeDir, UID and DataDir, then reads the shared station configuration
// from DataDir, and hands the configuration's network user agent to the audio
// library. Runs once; a later call does nothing. Reports nothing itself:
// a missing uid.ini or a data folder that cannot be created leave the program
// directory or the chosen folder in place, and later file writes fail instead.
void InitSharedConfig();

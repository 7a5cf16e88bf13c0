#pragma once
// The chain's own top-level windows (the effect editors, the VST parameters
// window) are plain widgets, which a screen reader would meet as an unnamed
// pane; this makes them windows named by their caption, as dialogs are.

// Installs the accessibility factory once; every window calls it when built.
void InstallChainWindowAccessible();

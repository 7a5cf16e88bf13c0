// vocarra-vstscan: describes one VST plug-in file for the program that
// started it (the protocol is in vst/VstProbe.h).

#include "vst/VstProbe.h"

int main(int argc, char *argv[]) {
    VstProbeMain(argc, argv);
}

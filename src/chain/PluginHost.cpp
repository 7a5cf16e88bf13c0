#include "chain/PluginHost.h"

namespace {

// Every operation keeps the base class's "nothing loaded" answer.
class TNoPluginHost final : public TPluginHost {};

TNoPluginHost NoPluginHost;
TPluginHost *Installed = &NoPluginHost;

} // namespace

TPluginHost &PluginHost() {
    return *Installed;
}

TPluginHost *SetPluginHost(TPluginHost *AHost) {
    TPluginHost *previous = Installed;
    Installed = AHost != nullptr ? AHost : &NoPluginHost;
    return previous == &NoPluginHost ? nullptr : previous;
}

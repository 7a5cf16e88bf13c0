# The chain engine: the built-in effect objects, the plug-in host as the
# engine sees it, and the manager that attaches a chain to a channel.
vocarra_core_library(vocarra_chain
    dsp/DSPManager.cpp
    dsp/IntegratedDSP.cpp
    dsp/PluginHost.cpp
)
target_link_libraries(vocarra_chain PUBLIC vocarra_audio vocarra_station vocarra_util)

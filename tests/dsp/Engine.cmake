# Tests of the chain engine and the built-in effect objects, on real channels
# of the audio engine and a scripted plug-in host.
vocarra_gtest(test_dsp_chain
    SOURCES
        DSPManagerTest.cpp
        DSPManagerVSTTest.cpp
        IntegratedDSPEqTest.cpp
        IntegratedDSPGainTest.cpp
    LIBS vocarra_chain
)

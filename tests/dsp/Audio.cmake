# Tests of our audio engine, its equaliser and compressor, and sound files.
vocarra_gtest(test_dsp_audio
    SOURCES
        AudioEngineTest.cpp
        AudioEpochTest.cpp
        AudioSoundFileTest.cpp
        AudioThreadsTest.cpp
        CompressorMathTest.cpp
        CompressorTest.cpp
        PeakEqKernelTest.cpp
        PeakEqTest.cpp
    LIBS vocarra_audio
)

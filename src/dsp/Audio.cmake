# Our audio engine: channels, the built-in equaliser and compressor, and
# sound files through libsndfile.
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)
vocarra_core_library(vocarra_audio
    dsp/AudioEngine.cpp
    dsp/Compressor.cpp
    dsp/EngineBiquads.cpp
    dsp/EngineChannel.cpp
    dsp/EngineEffects.cpp
    dsp/EngineEpoch.cpp
    dsp/EngineRegistry.cpp
    dsp/PeakEq.cpp
    dsp/SoundFile.cpp
)
target_link_libraries(vocarra_audio PUBLIC PkgConfig::SNDFILE vocarra_util)

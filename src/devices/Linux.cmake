# The audio library's device lists on Linux: ALSA for the standard layer, the
# sound server (PulseAudio, or PipeWire's server for it) for the WASAPI role.
pkg_check_modules(ALSA REQUIRED IMPORTED_TARGET alsa)
pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse)

vocarra_core_library(vocarra_linux_audio
    devices/AlsaDevices.cpp
    devices/PulseDevices.cpp
    devices/LinuxAudioLibrary.cpp
)
target_link_libraries(vocarra_linux_audio PUBLIC vocarra_devices PRIVATE PkgConfig::ALSA PkgConfig::PULSE)

# Tests of the Linux audio library: the list building, and the real backend
# against this machine's ALSA configuration and a private sound server.
vocarra_gtest(test_linux_audio
    SOURCES
        LinuxAudioListsTest.cpp
        LinuxAudioLibraryTest.cpp
    LIBS vocarra_linux_audio
)

# Start-up's hand-over of the network user agent. The program gets a folder of
# its own with a uid.ini, so that its data directory can be placed in a
# temporary folder through XDG_CONFIG_HOME.
vocarra_gtest(test_linux_startup_agent
    SOURCES LinuxStartupAgentTest.cpp
    LIBS vocarra_station
)
set_target_properties(test_linux_startup_agent PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/startup-agent)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/startup-agent/uid.ini "[Settings]\nUID=agent\n")

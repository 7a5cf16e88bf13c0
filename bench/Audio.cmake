# The microphone chain through our audio engine.
target_sources(vocarra-bench PRIVATE BenchMicChain.cpp)
target_link_libraries(vocarra-bench PRIVATE vocarra_audio)

# The VST host with the pass-through test plug-in.
target_sources(vocarra-bench PRIVATE BenchVstHost.cpp)
target_link_libraries(vocarra-bench PRIVATE vocarra_vst)
target_compile_definitions(vocarra-bench PRIVATE
    VOCARRA_TEST_PLUGINS="${VOCARRA_TEST_PLUGIN_DIR}")
add_dependencies(vocarra-bench vocarra_test_plugins)

# The take writer: ring, journal and the FLAC file at Stop. A program of its
# own, so measuring it builds only the recorder.
add_executable(vocarra-bench-takes BenchTakeWriter.cpp BenchMain.cpp)
target_link_libraries(vocarra-bench-takes PRIVATE vocarra_recorder benchmark::benchmark)

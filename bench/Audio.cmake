# The microphone chain through our audio engine.
target_sources(vocarra-bench PRIVATE BenchMicChain.cpp)
target_link_libraries(vocarra-bench PRIVATE vocarra_audio)

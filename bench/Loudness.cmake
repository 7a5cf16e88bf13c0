# The recorder's loudness meters and the normalisation's true-peak limiter.
target_sources(vocarra-bench PRIVATE BenchLoudness.cpp)
target_link_libraries(vocarra-bench PRIVATE vocarra_loudness)

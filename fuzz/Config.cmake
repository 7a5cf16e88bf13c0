# Fuzzers of the configuration readers.
vocarra_fuzzer(fuzz_component FuzzComponent.cpp)
vocarra_fuzzer(fuzz_ini FuzzIni.cpp)

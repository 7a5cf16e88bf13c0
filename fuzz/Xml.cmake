# Fuzzers of the XML scanner and the reply decoders.
vocarra_fuzzer(fuzz_xml FuzzXml.cpp)

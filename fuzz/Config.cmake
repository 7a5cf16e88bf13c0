# Fuzzers of the configuration readers.

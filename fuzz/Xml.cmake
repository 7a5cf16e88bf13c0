# Fuzzers of the XML scanner and the reply decoders.

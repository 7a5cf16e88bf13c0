# Libraries the benchmarks compare against (pugixml, OpenSSL).

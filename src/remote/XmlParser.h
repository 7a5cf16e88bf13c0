// Forward-only pull scanner over an XML text held in memory.

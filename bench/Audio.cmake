# (filled in as the piece lands)

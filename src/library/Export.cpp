// The shared library is the static library whole; this unit only gives it a source.

# The library exports its documented interface and nothing else.
nm -D --defined-only "$BIN/libtessel.so" | c++filt | cut -d' ' -f2- | sort

# labels: quick
# The library exports its documented interface and nothing else (inline
# functions a build happens to emit, weak symbols, are left out).
nm -D --defined-only "$BIN/libtessel.so" | grep -v ' [WVwv] ' | c++filt | cut -d' ' -f2- | sort

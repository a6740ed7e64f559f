# A pattern longer than any path matches nothing, and is not expanded (a
# pattern this deep would exhaust the stack inside the C library's glob).
deep="$(printf '*/%.0s' {1..5000})*"
tessel -d "$deep" 2>&1 | cut -c1-30; tessel -d "$deep" 2>&1 | wc -c

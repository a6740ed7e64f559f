# labels: quick
# The man page lists each option of the usage text once, in the order the
# usage text first names it; every option note names an option the usage
# text has.
tessel --help | grep -oE '^  +(-[a-z], )?--[a-z0-9-]+' | sed 's/^ *//' | awk '!seen[$0]++' >help
sed -n '/^\.SH OPTIONS/,/^\.SS Options with a short form only/p' "$BIN/tessel.1" | grep -A1 '^\.TP' | grep -v '^\.TP\|^--$' |
  sed 's/\\f[BR]//g; s/\\-/-/g' | diff help - && cut -f1 "$SRC/man/option-notes.txt" | grep -- '^-' | sort -u |
  while read -r option; do grep -qE "(^| )$option(,|$)" help || echo "note for $option, not in the usage text"; done

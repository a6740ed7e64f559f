# The man page lists the options of the usage text, in its order; every
# option note names an option the usage text has.
tessel --help | grep -oE '^  +(-[a-z], )?--[a-z0-9-]+' | sed 's/^ *//' >help
sed -n '/^\.SH OPTIONS/,/^\.SS Options without/p' "$BIN/tessel.1" | grep -A1 '^\.TP' | grep -v '^\.TP\|^--$' |
  sed 's/\\f[BR]//g; s/\\-/-/g' | diff help - && cut -f1 "$SRC/man/option-notes.txt" | grep -- '^-' | sort -u |
  while read -r option; do grep -qE "(^| )$option(,|$)" help || echo "note for $option, not in the usage text"; done

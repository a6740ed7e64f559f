#!/usr/bin/env bash
# Checks that no source includes a header of a layer above or beside its own:
# core <- scoring <- compat <- tool and embed, experiments on core and under
# tool. The link of each layer alone catches calls the wrong way; this catches
# includes, which the link does not see (a header's inline code, its types).
# Prints every wrong-way include and fails when there is one.
#
#   scripts/check-includes.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
layers=(core scoring compat experiments embed tool)
grep -rHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "${layers[@]}" --include='*.h' --include='*.cpp' |
  awk '
    BEGIN {
      allowed["core"] = " core "
      allowed["scoring"] = " core scoring "
      allowed["compat"] = " core scoring compat "
      allowed["experiments"] = " core experiments "
      allowed["embed"] = " core scoring compat embed "
      allowed["tool"] = " core scoring compat experiments tool "
    }
    {
      file = substr($0, 1, index($0, ":") - 1)
      layer = substr(file, 1, index(file, "/") - 1)
      included = $0
      sub(/^[^"]*"/, "", included)
      sub(/".*/, "", included)
      # A header named without a folder is one beside the including file.
      target = index(included, "/") ? substr(included, 1, index(included, "/") - 1) : layer
      if ((target in allowed) && index(allowed[layer], " " target " ") == 0) {
        may = allowed[layer]
        gsub(/^ | $/, "", may)
        printf "%s includes %s: %s may include only %s\n", file, included, layer, may
        wrong = 1
      }
    }
    END { exit wrong }'

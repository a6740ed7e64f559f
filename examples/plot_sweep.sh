#!/usr/bin/env bash
# Renders the result tables of one sweep ("tessel -z TOLERANCE" writes them as
# res_TEST_COL_LEN in its working directory) as recall, precision and F
# against the threshold: one PNG per test collection, one line per collection
# label and shingle length, the best point of the collection marked.
#
#   examples/plot_sweep.sh [-o OUTDIR] [DIR]      writes OUTDIR/sweep_TEST.png
#
# DIR and OUTDIR default to the current directory. Needs gnuplot (Debian's
# gnuplot-nox is enough).
set -euo pipefail

outdir=.
while getopts "o:" option; do
  case $option in
    o) outdir=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
dir=${1:-.}
command -v gnuplot >/dev/null || { echo "$0: gnuplot is not installed" >&2; exit 1; }
mkdir -p "$outdir"

# Test collections present, from names res_TEST_COL_LEN.
tests=$(find "$dir" -maxdepth 1 -type f -name 'res_*_*_*' -printf '%f\n' |
  sed -E 's/^res_(.+)_[^_]+_[^_]+$/\1/' | sort -u)
[ -n "$tests" ] || { echo "$0: no res_ tables in $dir" >&2; exit 1; }

for test in $tests; do
  # Tables in sweep order (collection labels, then lengths), as the sweep
  # ranks them: the best point is the first strictly highest F.
  tables=()
  for col in B1 C1 B1C1; do
    for len in 1 2 3 4 5; do
      [ -f "$dir/res_${test}_${col}_${len}" ] && tables+=("$dir/res_${test}_${col}_${len}")
    done
  done
  # Tables of other labels, should there be any, after those.
  while IFS= read -r extra; do
    case " ${tables[*]} " in *" $extra "*) ;; *) tables+=("$extra") ;; esac
  done < <(find "$dir" -maxdepth 1 -type f -name "res_${test}_*_*" | sort)

  best=$(awk -F '\t' 'NF == 6 && $6 + 0 > best + 0 { best = $6; t = $2; p = $5; label = $1 " l" $3 }
    END { if (t == "") { t = 0; p = 0; best = 0; label = "none" } print t, p, best, label }' "${tables[@]}")
  read -r best_t best_p best_f best_label <<<"$best"

  plots() {  # one line per table for the given column
    local column=$1 separator=""
    for table in "${tables[@]}"; do
      local name
      name=$(basename "$table")
      name=${name#res_"${test}"_}
      printf '%s"< grep -v ^Fmax %s" using 2:%s with lines title "%s"' "$separator" \
        "'$table'" "$column" "${name/_/ l}"
      separator=", "
    done
  }
  gnuplot <<GNUPLOT
set terminal pngcairo size 1200,1500 font ",10"
set output "$outdir/sweep_${test}.png"
set datafile separator "\t"
set multiplot layout 3,1 title "Sweep over test collection ${test}: best F ${best_f} at threshold ${best_t} (${best_label})"
set xlabel "threshold"
set key outside right top
set grid
set ylabel "recall"
plot $(plots 4)
set ylabel "precision"
set label 1 "best" at ${best_t},${best_p} point pointtype 7 pointsize 2 offset 1,1
plot $(plots 5)
set ylabel "F"
set label 1 "best" at ${best_t},${best_f} point pointtype 7 pointsize 2 offset 1,1
plot $(plots 6)
unset multiplot
GNUPLOT
  echo "$outdir/sweep_${test}.png"
done

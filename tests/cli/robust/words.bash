# Made-up text for the robust cases, sourced by them: words N SEED writes N
# words, ten a line, each line a sentence, the same for the same seed.
words() {
  awk -v n="$1" -v x="$2" 'BEGIN { split("ka lo mi ne su ta ri vo pe da", s, " ")
    for (i = 1; i <= n; i++) { w = ""
      for (k = 0; k < 3; k++) { x = (x * 16807) % 2147483647; w = w s[x % 10 + 1] }
      printf "%s%s", w, (i % 10 ? " " : ".\n") } }'
}

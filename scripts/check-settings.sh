#!/usr/bin/env bash
# Checks that only compat/ reads or writes the process-wide settings (the
# lm_ variables, CShingle::shingle_length and shingle_shift, UpperCase,
# Detailed, DetailedAll, Stopwords): core, scoring, experiments and the tool
# take an Options value instead, and embed reaches them only through
# compat/settings (CurrentOptions, CurrentTextOptions, WithProcessWideWords),
# which the layers below it never call. Comments and string literals are
# not code and are skipped; embed/tessel.h declares the variables for hosts.
# Prints every use and fails when there is one.
#
#   scripts/check-settings.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
settings='lm_threshold_1|lm_threshold_2|lm_length|lm_lambda|lm_lambda0|lm_factor|lm_log|lm_sub'
settings+='|UpperCase|Detailed|DetailedAll|Stopwords|CShingle::shingle_length|CShingle::shingle_shift'
readers='CurrentOptions|CurrentTextOptions|CurrentSettings|WithProcessWideWords'
check() {  # PATTERN FILE...
  local pattern=$1
  shift
  perl -0777 -ne '
    BEGIN { $pattern = shift @ARGV }
    # Blank out comments and literals, keeping their line ends so that the
    # line numbers stay right.
    s{("(?:\\.|[^"\\\n])*"|'"'"'(?:\\.|[^'"'"'\\\n])*'"'"')|(//[^\n]*)|(/\*.*?\*/)}{
      defined $1 ? q("") : defined $2 ? "" : "\n" x ($3 =~ tr/\n//)
    }gse;
    my $line = 0;
    for (split /\n/, $_, -1) {
      ++$line;
      print "$ARGV:$line: $&\n" while /(?<![\w:])(?:$pattern)\b/g;
    }' "$pattern" "$@"
}
found=$( {
  check "$settings|$readers" \
    $(find core scoring experiments tool -name '*.h' -o -name '*.cpp' | sort)
  check "$settings" $(find embed -name '*.cpp' | sort)
} )
if [ -n "$found" ]; then
  printf '%s\n' "$found" |
    sed 's/$/: a process-wide setting or its reader; only compat\/ may use them/'
  exit 1
fi

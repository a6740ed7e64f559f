# examples/judge-hosts.sh over two hosts (a stand-in for ssh runs their parts
# here) prints what one tessel run over the same documents prints, in both
# modes, in detailed output too, and writes no header file; names may hold a
# TAB, a backslash, a bracket and a space.
command -v parallel >/dev/null || { echo "skip: GNU parallel is not installed"; exit 77; }
learn=(-p "$SRC/examples/corpus/protected/*.txt" -u "$SRC/examples/corpus/unprotected/*.txt")
mkdir docs shingle lm && cp "$DATA"/lm/docs/*.txt "$SRC"/examples/corpus/docs/*.txt docs/
cp docs/ru_leak.txt $'docs/odd\t\\[1] x.txt'
(cd shingle && tessel "${learn[@]}" -l 3 -v) && (cd lm && tessel "${learn[@]}" -o 1 -v 2>/dev/null)
find docs -name '*.txt' >list  # directory order, as tessel's pattern gives it
printf '%s\n' '#!/bin/bash' 'while [ "${1#-}" != "$1" ]; do shift; done' \
  'echo "$1" >>"${0%/*}/hosts"; shift; [ "$1" = -- ] && shift' \
  'export SHELL=/bin/bash; exec bash -c "$*"' >ssh  # a login sets SHELL, which parallel's worker uses
chmod +x ssh && export PARALLEL_SSH=$PWD/ssh
check() {  # tessel options...
  bash "$SRC/examples/judge-hosts.sh" -S 1/hostA,1/hostB list -- "$@" >many 2>/dev/null
  ls docs | grep -v '\.txt$'
  tessel "$@" -d 'docs/*.txt' >one 2>/dev/null && rm -f docs/*.hdr
  cmp one many && echo "$*: $(wc -l <one) lines, the same"
}
check -f -p shingle/p.bin -u shingle/u.bin -l 3
check -f -p shingle/p.bin -u shingle/u.bin -l 3 -e -j 2
check -f -p lm/p.bin -u lm/u.bin -o 1
check -f -p lm/p.bin -u lm/u.bin -o 1 -e
# A store of nested directories, listed by find -print0: every document,
# subfolders included, once.
mkdir -p store/a store/b/c && cp docs/d*.txt store/a && cp docs/r*.txt store/b && cp docs/odd* store/b/c
find store -type f -print0 >store.list
bash "$SRC/examples/judge-hosts.sh" -0 -S 1/hostA,1/hostB store.list -- \
  -f -p shingle/p.bin -u shingle/u.bin -l 3 >many
tessel -f -p shingle/p.bin -u shingle/u.bin -l 3 --files-from store.list --null | cmp - many && wc -l <many
sort hosts | uniq -c
# The output follows the list, not the directory.
tac list | bash "$SRC/examples/judge-list.sh" -- -f -p shingle/p.bin -u shingle/u.bin -l 3 >many
tessel -f -p shingle/p.bin -u shingle/u.bin -l 3 -d 'docs/*.txt' | tac | cmp - many && echo "reversed list"
# The Slurm array's three tasks, Slurm's variables set by hand: their shards
# together are the same output; a task whose shard exists does nothing, so a
# rerun judges only a lost shard.
slurm() {
  SLURM_ARRAY_TASK_ID=$1 SLURM_ARRAY_TASK_MIN=4 SLURM_ARRAY_TASK_MAX=6 SLURM_CPUS_PER_TASK=2 \
    JUDGE_LIST=$SRC/examples/judge-list.sh bash "$SRC/examples/judge-slurm.sbatch" list out -- \
    -f -p shingle/p.bin -u shingle/u.bin -l 3
}
tessel -f -p shingle/p.bin -u shingle/u.bin -l 3 -d 'docs/*.txt' >one
for task in 4 5 6; do slurm $task; done
cat out/shard-*.out | cmp - one && ls out && wc -l <out/shard-00001.out
touch -d 2000-01-01 out/* && rm out/shard-00001.out
for task in 4 5 6; do slurm $task; done
cat out/shard-*.out | cmp - one && find out -name 'shard*' -newer list
# An empty list judges nothing; a bad call is refused.
bash "$SRC/examples/judge-list.sh" /dev/null -- -f -p shingle/p.bin -u shingle/u.bin -l 3; echo "status $?"
bash "$SRC/examples/judge-list.sh" list -f 2>&1 | sed "s|$SRC/||"; echo "status ${PIPESTATUS[0]}"

# The list recipes judge every document of a nested store under its own name
# and extension, so --pre examples/pre/any2text turns a .docx in a subfolder
# into text (a protected contract) instead of reporting it binary; a NUL list
# (-0) cut into Slurm shards gives the same lines.
command -v unzip >/dev/null || { echo "skip: no unzip"; exit 77; }
C="$SRC/examples/corpus"
mkdir -p store/mail/2024 model && cp "$C"/docs/weekly_update.txt "$C"/docs/ru_notice.txt store/
cp "$C/docs/forwarded_email.txt" 'store/mail/fw d.txt'
iconv -f cp1251 -t utf-8 "$C/protected/ru_contract.txt" |
  python3 -c 'import sys, zipfile
body = "".join("<w:p><w:r><w:t>%s</w:t></w:r></w:p>" % line.replace("&", "&amp;") for line in sys.stdin.read().split("\n"))
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z: z.writestr("word/document.xml", "<doc>" + body + "</doc>")' \
  store/mail/2024/contract.docx
cp "$MODELS"/examples-lm/* model/
options=(-f -t "$C/stop.txt" -p model/p.bin -u model/u.bin -o 1 --pre "$SRC/examples/pre/any2text")
find store -type f -print0 | LC_ALL=C sort -z >list
bash "$SRC/examples/judge-list.sh" -0 list -- "${options[@]}" 2>/dev/null >one
cat one && ls store store/mail
slurm() {
  SLURM_ARRAY_TASK_ID=$1 SLURM_ARRAY_TASK_MIN=0 SLURM_ARRAY_TASK_MAX=1 SLURM_CPUS_PER_TASK=1 \
    JUDGE_LIST=$SRC/examples/judge-list.sh bash "$SRC/examples/judge-slurm.sbatch" -0 list out -- "${options[@]}" 2>/dev/null
}
slurm 0 && slurm 1 && cat out/shard-*.out | cmp - one && echo "two shards, the same"

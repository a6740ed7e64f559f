# --pre judges what a program makes of each document: a PDF written here (one
# page of Helvetica text, with its cross-reference table) through the shipped
# pdftotext wrapper, a .docx (UTF-8 Cyrillic) and an .odt through theirs, all
# through the dispatcher, with the plain text beside them passed on as it is.
# A program that fails, or cannot be started, is reported with the
# document's name and gives no verdict.
command -v pdftotext >/dev/null && command -v unzip >/dev/null || { echo "skip: no pdftotext or unzip"; exit 77; }
C="$SRC/examples/corpus" && P="$SRC/examples/pre"
pdf() {  # OUT LINE...: a one-page PDF showing the lines
  local out=$1 content="BT /F1 10 Tf 40 800 Td 12 TL" i offsets=() xref
  shift && for line; do content="$content ($line) '"; done && content="$content ET"
  local objects=("<< /Type /Catalog /Pages 2 0 R >>" "<< /Type /Pages /Kids [3 0 R] /Count 1 >>"
    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 842] /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >> >>"
    "<< /Length ${#content} >>
stream
$content
endstream" "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>")
  printf '%%PDF-1.4\n' >"$out"
  for i in 1 2 3 4 5; do
    offsets+=("$(stat -c %s "$out")") && printf '%d 0 obj\n%s\nendobj\n' $i "${objects[i - 1]}" >>"$out"
  done
  xref=$(stat -c %s "$out") && printf 'xref\n0 6\n0000000000 65535 f \n' >>"$out"
  for i in "${offsets[@]}"; do printf '%010d 00000 n \n' "$i" >>"$out"; done
  printf 'trailer\n<< /Size 6 /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n' "$xref" >>"$out"
}
zipped() {  # OUT MEMBER TEXT: a compressed zip archive of one XML member with the text's paragraphs
  python3 - "$@" <<'PY'
import sys, zipfile
out, member, text = sys.argv[1:]
p, close = ("<w:p><w:r><w:t>", "</w:t></w:r></w:p>") if member.startswith("word/") else ("<text:p>", "</text:p>")
body = "".join(p + line.replace("&", "&amp;") + close for line in open(text, encoding="utf-8").read().split("\n"))
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    z.writestr("mimetype", "application/zip")
    z.writestr(member, '<?xml version="1.0" encoding="UTF-8"?><doc>' + body + "</doc>")
PY
}
mkdir docs && mapfile -t lines < <(head -12 "$C/protected/merger_plan.txt")
pdf docs/memo.pdf "${lines[@]}"
iconv -f cp1251 -t utf-8 "$C/protected/ru_contract.txt" >ru.txt && zipped docs/contract.docx word/document.xml ru.txt
cp "$C/docs/weekly_update.txt" docs/ && zipped docs/update.odt content.xml docs/weekly_update.txt
echo "not a pdf" >docs/fake.pdf && : >list && for f in fake.pdf memo.pdf contract.docx update.odt weekly_update.txt; do echo docs/$f >>list; done
cp "$MODELS"/examples-lm/* .
echo "== pdf2text" && tessel --pre "$P/pdf2text" -t "$C/stop.txt" -f -p p.bin -u u.bin -d docs/memo.pdf -o 1
echo "== any2text, shingle mode"
tessel --pre "$P/any2text" -t "$C/stop.txt" -p "$C/protected/*.txt" -u "$C/unprotected/*.txt" --files-from=list 2>err
grep 'not judged' err | sed "s|$P/||"
echo "== without --pre a .docx is binary; --binary judges its compressed bytes"
for binary in "" --binary; do
  tessel $binary -t "$C/stop.txt" -p "$C/protected/*.txt" -u "$C/unprotected/*.txt" -d docs/contract.docx
done
echo "== a program that cannot be started"
tessel --pre ./missing -t "$C/stop.txt" -f -p p.bin -u u.bin -d docs/memo.pdf -o 1

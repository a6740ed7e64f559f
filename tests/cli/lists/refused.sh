# A list that cannot be read, a second list of one role, and a line of a
# newline-separated list holding a NUL (find -print0 output without --null)
# are errors: the list or the name is not read, with a message, and
# --exit-status ends with 2. No document is ever its own header file: the key
# line is refused for a document named .hdr and for one linked to its header.
L="$DATA/lm" && cp -r "$L/docs" . && mkdir own && cp docs/d1.txt own/notes.hdr
cp docs/d4.txt own/linked.hdr && ln -s linked.hdr own/linked.txt && mkdir dir before && cp -r docs own before/
learn=(-l 2 -p "$L/prot/*.txt" -u "$L/plain/*.txt")
run() {  # the lines with a TAB: result lines, messages with a name, the evaluation line
  tessel "$@" --exit-status 2>&1 | grep -a "$(printf '\t')\|^Error\|^Warning" | sed "s|$DATA/||g"
  echo "status ${PIPESTATUS[0]}"
}
echo "== lists that cannot be read"
run "${learn[@]}" --files-from=missing.lst
run "${learn[@]}" --files-from=dir
run "${learn[@]}" --protected-from=missing.lst -v
echo "== a second list of one role, and a second -d"
printf 'docs/d4.txt\n' >one.lst && printf 'docs/d3.txt\n' >two.lst
run "${learn[@]}" --files-from=one.lst --files-from=two.lst -d docs/d5.txt -d docs/d6.txt
echo "== names holding a NUL, in both modes"
printf 'docs/d4.txt\0x.txt\ndocs/d3.txt\n' >nul.lst && find docs -name 'd[34].txt' -print0 | sort -z >print0.lst
run "${learn[@]}" --files-from=nul.lst
run "${learn[@]}" --files-from=print0.lst
run "${learn[@]}" -o 1 --no-title --files-from=nul.lst
run "${learn[@]}" --null --files-from=print0.lst
echo "== documents that are their own header file"
run "${learn[@]}" -o 1 --no-title -d 'own/*'
diff -r before/docs docs && diff -r before/own own && echo "documents unchanged"

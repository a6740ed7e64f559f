# --no-headers judges without reading or writing a header file (a header that
# could not be written is no error then) and prints the same verdicts;
# --title=FILE puts the column names there, --no-title writes none; --version
# prints the project's version.
cp -r "$DATA/lm/prot" "$DATA/lm/plain" "$DATA/lm/docs" . && mkdir docs/d1.hdr && echo keep >docs/d2.hdr
learn=(-p 'prot/*' -u 'plain/*' -o 1 -j 2)
tessel "${learn[@]}" -d 'docs/*.txt' --no-headers --title=names.tsv >plain.out 2>plain.err --exit-status
echo "status $?" && find . -name '*.hdr' | sort && cat names.tsv docs/d2.hdr
tessel "${learn[@]}" -d 'docs/*.txt' --no-title >headers.out 2>headers.err
grep -v Warning headers.out | cmp - plain.out && diff plain.err headers.err
find . -name '*.hdr' -type f -newer plain.err | sort && ls title 2>&1
tessel "${learn[@]}" -d 'docs/*.txt' --no-headers --title=sub/none 2>/dev/null | wc -l
tessel --version && tessel --version -h

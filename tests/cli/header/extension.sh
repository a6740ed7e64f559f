# A header takes the extension of the document's own name only: a name
# without one gets ".hdr" appended beside it, whatever dots its directories
# hold, so two such documents never share a header. A leading dot is no
# extension; names with one keep NAME.hdr.
mkdir -p store/my.docs store/plain work && cp "$DATA/lm/docs/d1.txt" store/my.docs/README
cp store/my.docs/README store/plain/A && cp store/plain/A store/plain/B && cp store/plain/A store/plain/.hidden
cp store/plain/A store/my.docs/a.b.txt
cd work && tessel -p ../store/plain/A -v -o 1 2>/dev/null
for doc in ../store/my.docs/README ../store/plain/A ../store/plain/B ../store/plain/.hidden \
    ../store/my.docs/a.b.txt; do
  tessel -f -p p.bin -u u.bin -d "$doc" -o 1 2>/dev/null | tail -1
done
cd .. && find . -name '*hdr*' | sort && tail -qn1 store/plain/B.hdr

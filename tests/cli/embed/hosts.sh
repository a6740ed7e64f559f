# labels: quick valgrind
# Both host programs judge text buffers like the library's own run: a
# protected text, one whose first word only the unprotected side knows, one
# of unknown words, an empty one; then a document that cannot be read.
printf 'Quarterly merger terms stay confidential.\n' >s1 && printf 'The merger terms of the quarterly plan.\n' >s2
printf 'Lunch menu for the week: soup and bread.\n' >plain && : >empty
printf 'merger terms stay confidential\n' >secret && printf 'soup and bread for lunch\n' >lunch && printf 'entirely different words here\n' >other
mkdir model && (cd model && tessel -p '../s*' -u ../plain -v -o 1)
tessel-host model secret lunch other empty; echo "status $?"
tessel-host-linked model secret lunch missing; echo "status $?"
tessel-host -l ./missing.so model secret 2>&1 | sed 's/:.*//'; echo "status ${PIPESTATUS[0]}"

# Empty data files get a line that never flags them, a directory only its
# message; patterns that match nothing are reported; with no options nothing is done.
mkdir docs && : >empty.txt
tessel -d docs
tessel -d empty.txt -p 'none*'
tessel -p missing.txt -d empty.txt
tessel

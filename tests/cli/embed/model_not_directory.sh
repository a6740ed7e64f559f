# A model path that is a regular file is reported like a missing directory:
# its set files cannot be opened, and no description is taken to be damaged.
printf 'merger terms\n' >doc && printf 'not a model\n' >file
tessel-host file doc; echo "status $?"
tessel-host missing doc; echo "status $?"
tessel -f -o 1 -p file/p.bin -u file/u.bin -d doc; echo "status $?"

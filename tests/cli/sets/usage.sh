tessel-sets merge m; echo "status $?"
tessel-sets frobnicate x; echo "status $?"
tessel-sets --help; echo "status $?"

# labels: quick
# The usage text, whole; -h ends the run before later options.
tessel --help
tessel -h -p 'late*'

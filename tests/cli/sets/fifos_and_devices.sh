# Set files that are FIFOs or devices never stall or run away: tessel-sets
# reads a FIFO with no writer as empty, a device cannot be opened, and a model
# (-f) takes regular files only.
mkfifo fifo
timeout 10 tessel-sets verify fifo /dev/zero; echo "status $?"
timeout 10 tessel -f -p /dev/zero -u fifo; echo "status $?"

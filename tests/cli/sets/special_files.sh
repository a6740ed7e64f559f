# Set files that are FIFOs or devices never stall or run away: a FIFO with no
# writer holds no records, a device cannot be opened.
mkfifo fifo
timeout 10 tessel-sets verify fifo /dev/zero; echo "status $?"
timeout 10 tessel -f -p /dev/zero -u fifo; echo "status $?"

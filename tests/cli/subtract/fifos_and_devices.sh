# Subtraction never waits on a FIFO and refuses devices and directories.
mkfifo fifo; mkdir dir; printf '0123456789abcdef' > one
timeout 10 tessel -b -p one -u fifo | od -An -c
timeout 10 tessel -b -p one -u /dev/zero; timeout 10 tessel -b -p dir -u one; echo "status $?"

# A file-size limit of 1 KiB: the picture (over 4 KiB) cannot be written.
ulimit -f 1

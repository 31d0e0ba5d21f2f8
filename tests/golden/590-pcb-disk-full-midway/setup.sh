ln -s /dev/full full.PCB

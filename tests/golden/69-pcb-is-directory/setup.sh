mkdir out.PCB

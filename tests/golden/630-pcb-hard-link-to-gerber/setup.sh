ln board.gbr copy.PCB

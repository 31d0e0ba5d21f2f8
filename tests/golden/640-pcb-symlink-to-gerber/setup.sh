ln -s board.gbr link.PCB

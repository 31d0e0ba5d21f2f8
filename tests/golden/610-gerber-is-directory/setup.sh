mkdir board.gbr

{ printf 'G54D30*\r\n'; yes 'D01*' | head -n 65536 | sed 's/$/\r/'; } > board.gbr

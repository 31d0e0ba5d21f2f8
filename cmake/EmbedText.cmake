# cmake -DIN=<file> -DOUT=<source> -DNAME=<Namespace::kName> -DHEADER=<header> -P EmbedText.cmake
# Writes a source file defining NAME (the bytes of IN, a NUL after them) and
# NAME's size, kept apart from the file's own bytes, so that the file stays
# their only home.
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" hex_length)
math(EXPR size "${hex_length} / 2")
# Eight bytes a line.
string(REGEX REPLACE "([0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f])"
       "\\1~" hex "${hex}")
string(REGEX REPLACE "([^~]*~[^~]*~)" "\\1\n    " hex "${hex}")
string(REPLACE "~" "" hex "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
string(REGEX MATCH "^(.*)::(.*)$" ignored "${NAME}")
set(space "${CMAKE_MATCH_1}")
set(name "${CMAKE_MATCH_2}")
file(WRITE "${OUT}.new"
"// Generated from ${IN} by cmake/EmbedText.cmake: edit that file.
#include \"${HEADER}\"

namespace ${space} {

const char ${name}Bytes[] = {
    ${bytes}'\\0'};
const std::size_t ${name}Size = ${size};

}  // namespace ${space}
")
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")

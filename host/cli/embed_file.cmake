# Writes OUTPUT, a C++ source holding the bytes of INPUT as `kDemoSongBytes`.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR byteCount "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Sixteen bytes a line keeps the generated file readable in a debugger.
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n    " bytes "${bytes}")
file(WRITE ${OUTPUT}.tmp
  "// Generated from ${INPUT} by embed_file.cmake; do not edit.\n"
  "#include \"common/demo_song.h\"\n\n"
  "const uint8_t kDemoSongBytes[] = {\n    ${bytes}\n};\n"
  "const uint32_t kDemoSongByteCount = ${byteCount};\n")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})

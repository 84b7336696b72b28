# Writes a C++ source that holds a file's bytes as constant data.
# cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name [-DTERMINATE=ON] -P embed_file.cmake
# Defines `const unsigned char <name>[]` and `const size_t <name>Size`, the
# file's length (a terminating NUL, when asked for, is not counted).
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
if(TERMINATE)
    string(APPEND hex "00")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){16})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
    "// Generated from ${INPUT}; do not edit.\n"
    "#include <cstddef>\n"
    "extern const unsigned char ${SYMBOL}[] = {\n${bytes}\n};\n"
    "extern const size_t ${SYMBOL}Size = ${size};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")

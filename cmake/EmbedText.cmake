# Turns a text file into a C++ source defining `std::string_view NAMESPACE::FUNCTION()`.
# Usage: cmake -DINPUT=... -DOUTPUT=... -DNAMESPACE=... -DFUNCTION=... -P EmbedText.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR byteCount "${hexLength} / 2")
# Sixty-four bytes per source line keeps the file readable for the compiler.
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
string(REGEX REPLACE "(('\\\\x[0-9a-f][0-9a-f]',){64})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
"// Generated from ${INPUT}; do not edit.\n"
"#include <string_view>\n"
"namespace ${NAMESPACE} {\n"
"namespace {\n"
"const char kText[${byteCount} + 1] = {\n${bytes}0};\n"
"}\n"
"std::string_view ${FUNCTION}() { return {kText, ${byteCount}}; }\n"
"}\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")

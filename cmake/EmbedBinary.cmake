# Script mode: writes INPUT's bytes as a C++ array named SYMBOL into OUTPUT.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexlen)
math(EXPR size "${hexlen} / 2")
if(DEFINED EXPECT_SIZE AND NOT size EQUAL EXPECT_SIZE)
    message(FATAL_ERROR "${INPUT} is ${size} bytes, expected ${EXPECT_SIZE}")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}; do not edit.\n"
    "extern const unsigned char ${SYMBOL}[];\nextern const unsigned long ${SYMBOL}_size;\n"
    "const unsigned char ${SYMBOL}[] = {\n${bytes}\n};\n"
    "const unsigned long ${SYMBOL}_size = ${size};\n")

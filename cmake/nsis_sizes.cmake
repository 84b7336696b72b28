# Writes an NSIS header defining the size of each file the setup installs,
# in KiB rounded up, as its section sizes count them:
#   cmake -DOUTPUT=sizes.nsh -DPLUGIN=dll -DNOTICES=txt -P nsis_sizes.cmake
set(text "")
foreach(name PLUGIN NOTICES)
    file(SIZE "${${name}}" bytes)
    math(EXPR kib "(${bytes} + 1023) / 1024")
    string(APPEND text "!define ${name}_KB ${kib}\n")
endforeach()
file(WRITE "${OUTPUT}" "${text}")

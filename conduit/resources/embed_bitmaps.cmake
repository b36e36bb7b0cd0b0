# lumora_embed_bitmaps(OUTPUT NAME FILE NAME FILE ...): writes an include file with one
# byte array per .bmp file, so the library carries its bitmaps as resources.
function(lumora_embed_bitmaps output)
  set(text "// Generated from the conduit's .bmp resources; do not edit.\n")
  while(ARGN)
    list(POP_FRONT ARGN name file)
    file(READ ${file} hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(APPEND text "constexpr uint8_t ${name}[] = {${bytes}};\n")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
  endwhile()
  file(CONFIGURE OUTPUT ${output} CONTENT "${text}")
endfunction()

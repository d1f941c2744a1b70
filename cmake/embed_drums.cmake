# Turns the drum images into a C++ source of constant byte arrays, so the tool
# reads no file at run time besides the song.
# Variables: DRUM_DIR (folder of the .wav files), OUTPUT (the .cpp to write).
set(names BASS1 BASS2 SNARE1 HAT1 HAT2 SYMBAL1)
set(body "// Generated from src/library/mixer/drums/*.wav by cmake/embed_drums.cmake.\n#include \"mixer/drum_images.h\"\n\nnamespace tamsel::core {\n\n")
set(table "")
foreach(name IN LISTS names)
  file(READ "${DRUM_DIR}/${name}.wav" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
  string(APPEND body "static const uint8_t image_${name}[${size}] = {\n${bytes}\n};\n\n")
  string(APPEND table "    {\"${name}\", image_${name}, ${size}u},\n")
endforeach()
string(APPEND body "const drum_image drum_images[DRUM_IMAGE_COUNT] = {\n${table}};\n\n}  // namespace tamsel::core\n")
file(WRITE "${OUTPUT}.tmp" "${body}")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")

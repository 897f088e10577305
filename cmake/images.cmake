# The built-in firmware images. The image tool is built first (from the cipher
# and the HEX reader sources alone, since tvncore itself needs its output), then
# encrypts firmware/*.hex into C++ sources that are compiled into tvncore.
# Sets TVN_IMAGE_SOURCES and TVN_IMAGE_DEPENDS.
add_executable(tvnimage
  ${CMAKE_SOURCE_DIR}/tools/tvnimage.cpp
  ${CMAKE_SOURCE_DIR}/src/image/rc6w8r8b10.cpp
  ${CMAKE_SOURCE_DIR}/src/image/hex_reader.cpp
  ${CMAKE_SOURCE_DIR}/src/image/reference_image.cpp)
target_include_directories(tvnimage PRIVATE ${CMAKE_SOURCE_DIR}/src)
set_target_properties(tvnimage PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools)

set(TVN_IMAGE_GEN_DIR ${CMAKE_BINARY_DIR}/generated/image)
file(MAKE_DIRECTORY ${TVN_IMAGE_GEN_DIR})
set(TVN_IMAGE_SOURCES "")

# hex file in firmware/, array symbol, generated source
foreach(image "Tvn_252_V22.hex:kDataArray:builtin_image_252.cpp"
              "Tvn_2520_V23.hex:kDataArray1:builtin_image_2520.cpp")
  string(REPLACE ":" ";" parts ${image})
  list(GET parts 0 hex)
  list(GET parts 1 symbol)
  list(GET parts 2 cpp)
  add_custom_command(
    OUTPUT ${TVN_IMAGE_GEN_DIR}/${cpp}
    COMMAND tvnimage source ${CMAKE_SOURCE_DIR}/firmware/${hex} ${TVN_IMAGE_GEN_DIR}/${cpp} ${symbol}
    DEPENDS tvnimage ${CMAKE_SOURCE_DIR}/firmware/${hex}
    COMMENT "Encrypting firmware image ${hex}"
    VERBATIM)
  list(APPEND TVN_IMAGE_SOURCES ${TVN_IMAGE_GEN_DIR}/${cpp})
endforeach()

add_custom_target(tvn_images DEPENDS ${TVN_IMAGE_SOURCES})
set(TVN_IMAGE_DEPENDS tvn_images)

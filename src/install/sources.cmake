list(APPEND QUILLON_CORE_SOURCES
  install/PackedBodyDecoder.cpp
  install/Packer.cpp
  install/UnpackFile.cpp
)

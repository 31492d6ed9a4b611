list(APPEND QUILLON_CORE_SOURCES
  install/OutputPipeline.cpp
  install/PackedBodyDecoder.cpp
  install/Packer.cpp
  install/UnpackFile.cpp
)

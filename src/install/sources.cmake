list(APPEND QUILLON_CORE_SOURCES
  install/DictFile.cpp
  install/OutputPipeline.cpp
  install/PackedBodyDecoder.cpp
  install/Packer.cpp
  install/UnpackFile.cpp
)

list(APPEND QUILLON_CORE_SOURCES
  install/DictFile.cpp
  install/InstallDictionary.cpp
  install/InstallSummary.cpp
  install/OutputPipeline.cpp
  install/PackedBodyDecoder.cpp
  install/PackBlock.cpp
  install/Packer.cpp
  install/ProgressDlg.cpp
  install/ProgressView.cpp
  install/UnpackFile.cpp
  install/UnpackToMemory.cpp
)

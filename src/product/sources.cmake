list(APPEND QUILLON_CORE_SOURCES
  product/ComError.cpp
  product/DistributionFolder.cpp
  product/InterfaceLanguage.cpp
  product/ObservedServices.cpp
  product/Paths.cpp
  product/RegistryKey.cpp
  product/RunFolder.cpp
  product/WorkFolders.cpp
)
list(APPEND QUILLON_CORE_SOURCES product/KernelConnection.cpp)

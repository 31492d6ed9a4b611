list(APPEND QUILLON_CORE_SOURCES
  model/BaseReferable.cpp
  model/DictCollection.cpp
  model/DictDistrib.cpp
  model/DictInfo.cpp
  model/VdxAlgo.cpp
  model/VdxBaseTM.cpp
  model/VdxCollectionItem.cpp
  model/VdxKeywords.cpp
  model/VdxKeywordsFile.cpp
  model/VdxPreproc.cpp
  model/VdxTopicInfo.cpp
  model/VdxWWTsFile.cpp
  model/XmlGenerator.cpp
)

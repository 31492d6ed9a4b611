list(APPEND QUILLON_CORE_SOURCES
  removal/TemplateRemoveDlg.cpp
  removal/RemoveCollections.cpp
)

list(APPEND QUILLON_CORE_SOURCES
  removal/InstalledCollections.cpp
  removal/TemplateRemoveDlg.cpp
  removal/RemoveCollections.cpp
)

list(APPEND QUILLON_CORE_SOURCES
  selection/ProfileSelectionView.cpp
  selection/TemplateDlg.cpp
)

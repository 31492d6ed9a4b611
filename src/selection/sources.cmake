list(APPEND QUILLON_CORE_SOURCES
  selection/ProfileSelectionView.cpp
  selection/SelectCollectionDlg.cpp
  selection/TemplateDlg.cpp
)

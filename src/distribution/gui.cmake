list(APPEND QUILLON_GUI_SOURCES
  distribution/BrowseForFolder.cpp
  distribution/KaldoPathDlg.cpp
  resources/KaldoPathDlg.ui
)

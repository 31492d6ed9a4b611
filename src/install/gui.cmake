list(APPEND QUILLON_GUI_SOURCES
  install/ProgressPage.cpp
  resources/ProgressPage.ui
)

list(APPEND QUILLON_GUI_SOURCES
  removal/RemovalPage.cpp
  resources/RemovalPage.ui
)

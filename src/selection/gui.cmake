list(APPEND QUILLON_GUI_SOURCES
  selection/CollectionPage.cpp
  selection/ProfilesPage.cpp
  resources/CollectionPage.ui
  resources/ProfilesPage.ui
)

list(APPEND QUILLON_GUI_SOURCES
  shell/AddRemoveDlg.cpp
  shell/Artwork.cpp
  shell/ConfirmDlg.cpp
  shell/InstallerServices.cpp
  shell/LauncherEntryTaskbar.cpp
  shell/MainFrame.cpp
  shell/QtMessagePort.cpp
  shell/QtStartupHost.cpp
  shell/QtWizardHost.cpp
  shell/WelcomeDlg.cpp
  shell/WizardPage.cpp
  resources/AddRemoveDlg.ui
  resources/ConfirmDlg.ui
  resources/WelcomeDlg.ui
)

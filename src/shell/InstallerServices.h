#pragma once
// The installer's wizard services: every state of the wizard connected to the real operations
// and pages (the kernel connection, the distribution source, the collection, profile, progress
// and removal pages). quillon's main uses them, and so do the tests that run the whole wizard.
#include "shell/QtWizardHost.h"

namespace quillon {

WizardServices InstallerServices();

} // namespace quillon

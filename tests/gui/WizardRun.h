// Runs the real wizard on the calling thread while a script drives it from a second thread.
#pragma once

#include <functional>

#include "framework/PropertySheet.h"
#include "tests/gui/WizardDriver.h"

// The script gets a driver of the visible sheet. When the test has failed by then the screen is
// saved under screenshots/ first. Whatever the script leaves open is cancelled, so the call
// always returns once DoModal has.
void RunWizard(CPropertySheet& sheet, const std::function<void(WizardDriver&)>& script);

// Where failure screenshots go: $QF_SCREENSHOT_DIR or "screenshots" in the working directory.
std::string ScreenshotPath(const std::string& name);

#pragma once
// The window's start-up: creates the windows in their order and runs the event loop.
#include "settings/app_paths.h"

int RunGui(int argc, char **argv, const settings::AppPaths &paths);

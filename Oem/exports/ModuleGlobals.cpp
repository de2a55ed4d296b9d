#include "exports/ModuleGlobals.h"

ModuleGlobals gModule;

#include "support/OemDll.h"

#include "support/TestFiles.h"

OemDll::OemDll() : module_(::LoadLibraryA(Path().c_str())) {}

OemDll::~OemDll() {
    if (module_) ::FreeLibrary(module_);
}

std::string OemDll::Path() {
    return TestFiles::ExecutableFolder() + "Oem.dll";
}

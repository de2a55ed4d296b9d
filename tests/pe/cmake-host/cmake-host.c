/* Exits 0 when Oem.dll, linked through the imported target Oem::Oem, compares two packages. */
#include <Oem.h>

int main(void) {
    return !OEM_Check_If_UpdateCurrentPackage("A.B.C.10.4", "A.B.C.10.5") ||
           OEM_Check_If_UpdateCurrentPackage("A.B.C.1", "x.y.z.1");
}

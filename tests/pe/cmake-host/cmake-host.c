/* Exits 0 when Oem.dll, linked through the imported target Oem::Oem, compares two packages. */
#include <Oem.h>

int main(void) {
    return OEM_Check_If_UpdateCurrentPackage("A1.B2.C3.10.4", "A1.B2.C3.10.5") &&
                   !OEM_Check_If_UpdateCurrentPackage("A1.B2.C3.10.4", "a1.b2.c3.10.4")
               ? 0
               : 1;
}

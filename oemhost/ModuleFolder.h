#pragma once
// Files that ship with oemhost.exe: beside it in the build tree; in the package, the binaries
// in bin\ and the data files (the modem profiles) in share\oem\.

#include <string>

// The full path of fileName in this executable's folder.
std::wstring BesideThisExecutable(const wchar_t* fileName);

// The full path of a data file: beside this executable when it is there, else in the
// package's share\oem\ seen from bin\.
std::wstring ShippedDataFile(const wchar_t* fileName);

#pragma once
// Files that ship beside oemhost.exe.

#include <string>

// The full path of fileName in this executable's folder.
std::wstring BesideThisExecutable(const wchar_t* fileName);

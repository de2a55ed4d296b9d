#pragma once
// Tool objects from the factory, ended through their interface's Release as consumers end them.

#include "tools/GetToolObject.h"
#include "tools/IGlobalTools.h"
#include "tools/ToolPtr.h"

template <typename Tool>
ToolPtr<Tool> MakeTool(const GUID& identifier) {
    void* object = nullptr;
    GetToolObject(identifier, &object);
    return ToolPtr<Tool>(static_cast<Tool*>(object));
}

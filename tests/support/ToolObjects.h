#pragma once
// Tool objects from the factory, ended through their interface's Release as consumers end them.

#include <memory>

#include "tools/GetToolObject.h"
#include "tools/IGlobalTools.h"

struct ToolReleaser {
    template <typename Tool>
    void operator()(Tool* tool) const {
        tool->Release();
    }
};
template <typename Tool>
using ToolPtr = std::unique_ptr<Tool, ToolReleaser>;

template <typename Tool>
ToolPtr<Tool> MakeTool(const GUID& identifier) {
    void* object = nullptr;
    GetToolObject(identifier, &object);
    return ToolPtr<Tool>(static_cast<Tool*>(object));
}

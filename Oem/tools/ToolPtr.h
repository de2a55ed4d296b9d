#pragma once
// An owner of a tool object that ends it through its interface's Release, as every consumer of
// the tool kit must.

#include <memory>

struct ToolRelease {
    template <typename Tool>
    void operator()(Tool* tool) const {
        tool->Release();
    }
};

template <typename Tool>
using ToolPtr = std::unique_ptr<Tool, ToolRelease>;

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/core/WindowControl.h"

#include <string>
#include <vector>

namespace tevra::test {

// A top-level window's show state, with the calls that changed it.
class FakeWindowControl : public WindowControl {
public:
    bool isMinimised() const override { return minimised; }
    void minimise() override
    {
        calls.push_back("minimise");
        minimised = true;
    }
    void hide() override
    {
        calls.push_back("hide");
        visible = false;
    }
    void show() override
    {
        calls.push_back("show");
        visible = true;
    }
    void restore() override
    {
        calls.push_back("restore");
        minimised = false;
    }

    bool minimised = false;
    bool visible = true;
    std::vector<std::string> calls;
};

}  // namespace tevra::test

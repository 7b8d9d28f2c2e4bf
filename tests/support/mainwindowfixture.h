#pragma once
// The main window for the tests of its register and its hidden buttons: made in a fresh
// working folder (with "Data" and "data", as the program finds its folder whatever the
// case) on the default settings, with its status timer stopped so that the test carries
// out selections itself.
#include <memory>

#include "app/unit1.h"
#include "common/config.h"
#include "tests/support/workfolder.h"

namespace vel::testing {

inline std::unique_ptr<Tfrm> MainWindowIn(WorkFolder &dir)
{
    dir.enter({"Data", "data"});
    MutableConfig() = AppConfig{};
    auto frm = std::make_unique<Tfrm>();
    frm->statTimer().stop();
    return frm;
}

} // namespace vel::testing

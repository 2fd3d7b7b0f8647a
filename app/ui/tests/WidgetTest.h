#pragma once

// A model fixture for widget tests: the test binary's QApplication is made before the
// fixture's widgets, and the model comes with a recording canvas it holds weakly.

#include "app/tests/AppModelFixture.h"
#include "app/tests/FakeMapCanvas.h"
#include "testing/TestApplication.h"

#include <memory>

namespace testing_support {

class WidgetTest : public AppModelFixture {
protected:
    std::shared_ptr<FakeMapCanvas> canvas = std::make_shared<FakeMapCanvas>();

    // Before the widgets of the fixtures built on it.
    WidgetTest() { application(); }

    void SetUp() override { makeModel().setCanvas(canvas); }
};

} // namespace testing_support

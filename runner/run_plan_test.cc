#include "runner/run_plan.h"

#include <gtest/gtest.h>

#include "testing/test_support.h"

namespace {

TEST(RunPlanTest, Placeholder) {}

}  // namespace

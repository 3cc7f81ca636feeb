#include <gtest/gtest.h>

#include "OpsFixture.h"
#include "ops/QuerySocket.h"

namespace {

class BusyScopeTest : public OpsFixture {};

// A socket query made while an operation already holds the programmer (as the
// identification before each operation is) must leave the guard held.
TEST_F(BusyScopeTest, NestedQueryKeepsTheOperationsGuard)
{
    useFlash();
    std::array<uint8_t, 4> reply{};
    workbench.busy = true;
    QuerySocket(workbench, host, reply);
    EXPECT_TRUE(workbench.busy);
    workbench.busy = false;
    QuerySocket(workbench, host, reply);
    EXPECT_FALSE(workbench.busy);
}

} // namespace

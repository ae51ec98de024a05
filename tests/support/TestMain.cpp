#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char** argv)
{
    // Alert lines and cell texts show local time; fix the zone so they can be compared.
    setenv("TZ", "UTC", 1);
    tzset();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char** argv)
{
    // Alert lines and cell texts show local time; fix the zone so they can be compared.
    // "UTC0": the POSIX form, which Windows' C runtime reads too.
#ifdef _WIN32
    _putenv_s("TZ", "UTC0");
    _tzset();
#else
    setenv("TZ", "UTC0", 1);
    tzset();
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

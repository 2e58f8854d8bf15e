// One run at a time: the data folder's lock.

#include "testenv.h"

#include "base/runlock.h"

#include <wx/utils.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using RunLockTest = ProjectTest;

TEST_F(RunLockTest, WaitsForAnotherRunThenGivesUpSayingSo)
{
    // Another process holds the lock for a while.
    const std::string lockFile(m_dir.File("Feedquill.lock").fn_str());
    const std::string ready(m_dir.File("ready").fn_str());
    ASSERT_EQ(std::system(("flock '" + lockFile + "' -c 'touch " + ready + "; sleep 2' &")
                              .c_str()), 0);
    for ( int i = 0; i < 100 && !FileExists(ready); ++i )
        wxMilliSleep(50);
    ASSERT_TRUE(FileExists(ready));

    RunLock::SetWaitLimit(1);
    {
        LogCollector log;
        const RunLock lock;
        EXPECT_FALSE(lock.IsHeld());
        // The caller says it, once.
        EXPECT_TRUE(log.GetErrors().empty());
        EXPECT_NE(lock.GetError().find("Another Feedquill run holds"), wxString::npos);
        EXPECT_NE(lock.GetError().find("Feedquill.lock"), wxString::npos);
    }
    // Within the minute, the other run ends and this one gets the lock.
    RunLock::SetWaitLimit(10);
    const RunLock lock;
    EXPECT_TRUE(lock.IsHeld());
    RunLock::SetWaitLimit(60);
    {
        const RunLock nested;  // free within the same process
        EXPECT_TRUE(nested.IsHeld());
    }
    // Held all along, by this process: a second process cannot have it.
    EXPECT_NE(std::system(("flock -n '" + lockFile + "' true").c_str()), 0);
}

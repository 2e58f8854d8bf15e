// Writing Feedquill.cfg while other runs write it too.

#include "testenv.h"

#include <wx/config.h>
#include <wx/filename.h>

#include <gtest/gtest.h>

#include <string>
#include <unistd.h>

using ConfigFile = ProjectTest;

TEST_F(ConfigFile, AFlushKeepsWhatAnotherRunWroteMeanwhile)
{
    WriteBytes(GetConfigPath(), "[project/default]\nFeedURL=http://blog.example/feed\n"
                                "LastTitle=Old\n[options]\nReadOnly=0\n");
    ReopenConfig();
    // A timer run stores the newest post while the window is open ...
    WriteBytes(GetConfigPath(), "[project/default]\nFeedURL=http://blog.example/feed\n"
                                "LastTitle=From the timer\n[options]\nReadOnly=0\n");
    // ... then the window writes what the user changed, and only that.
    wxConfigBase::Get()->Write("/options/ReadOnly", true);
    wxConfigBase::Get()->SetPath("/project/default");
    wxConfigBase::Get()->Write("FilePath", "/home/me/.signature");
    wxConfigBase::Get()->SetPath("/");
    ASSERT_TRUE(wxConfigBase::Get()->Flush());

    EXPECT_EQ(ReadBytes(GetConfigPath()),
              "[project/default]\nFeedURL=http://blog.example/feed\n"
              "LastTitle=From the timer\nFilePath=/home/me/.signature\n"
              "[options]\nReadOnly=1\n");
}

TEST_F(ConfigFile, ALinkedFileStaysALink)
{
    WriteBytes(m_dir.File("real.cfg"), "[options]\nReadOnly=0\n");
    ASSERT_EQ(symlink("real.cfg", GetConfigPath().fn_str()), 0);
    ReopenConfig();
    wxConfigBase::Get()->Write("/options/ReadOnly", true);
    ASSERT_TRUE(wxConfigBase::Get()->Flush());
    EXPECT_TRUE(wxFileName::Exists(GetConfigPath(), wxFILE_EXISTS_SYMLINK));
    EXPECT_EQ(ReadBytes(m_dir.File("real.cfg")), "[options]\nReadOnly=1\n");
}

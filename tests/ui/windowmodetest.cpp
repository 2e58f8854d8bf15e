// The built program started with a display, as a user starts it from the desktop.

#include "testenv.h"

#include <wx/utils.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

// The line of `xwininfo -root -tree` that describes the window with this title, if any.
std::string FindWindowLine(const std::string& title)
{
    FILE* pipe = popen("xwininfo -root -tree 2>/dev/null", "r");
    if ( !pipe )
        return std::string();
    std::string found;
    char line[1024];
    while ( fgets(line, sizeof(line), pipe) )
    {
        if ( found.empty() && std::string(line).find("\"" + title + "\"") != std::string::npos )
            found = line;
    }
    pclose(pipe);
    return found;
}

} // anonymous namespace

TEST(WindowMode, OpensTheMainWindowAtItsSize)
{
    TempDir home;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if ( child == 0 )
    {
        setenv("HOME", home.GetPath().fn_str(), 1);
        setenv("GSETTINGS_BACKEND", "memory", 1);
        execl(FEEDQUILL_BINARY, FEEDQUILL_BINARY, static_cast<char*>(nullptr));
        _exit(127);
    }

    std::string window;
    for ( int i = 0; i < 100 && window.empty(); ++i )
    {
        wxMilliSleep(100);
        window = FindWindowLine("Spread your blog around the world");
    }
    int status = 0;
    const bool exitedEarly = waitpid(child, &status, WNOHANG) == child;
    kill(child, SIGTERM);
    waitpid(child, &status, 0);

    EXPECT_FALSE(exitedEarly);
    EXPECT_NE(window.find("650x450"), std::string::npos) << window;
    EXPECT_TRUE(FileExists(home.File(".feedquill/SignatureTemplates/default.txt")));
}

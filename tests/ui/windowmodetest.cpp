// The built program started with a display, as a user starts it from the desktop.

#include "testenv.h"

#include <wx/utils.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

// The line of `xwininfo -root -tree` that describes the program's main window, if any. The
// window class names the program, so windows of other tests on the same display never match.
std::string FindProgramWindow()
{
    FILE* pipe = popen("xwininfo -root -tree 2>/dev/null", "r");
    if ( !pipe )
        return std::string();
    std::string found;
    char line[1024];
    while ( fgets(line, sizeof(line), pipe) )
    {
        const std::string text(line);
        if ( found.empty()
             && text.find("\"Spread your blog around the world\"") != std::string::npos
             && text.find("(\"feedquill\" \"Feedquill\")") != std::string::npos )
            found = text;
    }
    pclose(pipe);
    return found;
}

} // anonymous namespace

TEST(WindowMode, OpensTheMainWindowAtItsSize)
{
    TempDir home;
    const pid_t program = fork();
    ASSERT_GE(program, 0);
    if ( program == 0 )
    {
        setenv("HOME", home.GetPath().fn_str(), 1);
        setenv("GSETTINGS_BACKEND", "memory", 1);
        setenv("NO_AT_BRIDGE", "1", 1);
        execl(ProgramUnderTest().c_str(), "feedquill", static_cast<char*>(nullptr));
        _exit(127);
    }

    std::string window;
    bool exited = false;
    for ( int i = 0; i < 150 && window.empty() && !exited; ++i )
    {
        wxMilliSleep(100);
        window = FindProgramWindow();
        exited = waitpid(program, nullptr, WNOHANG) == program;
    }
    if ( !exited )
    {
        kill(program, SIGTERM);
        waitpid(program, nullptr, 0);
    }

    EXPECT_FALSE(exited);
    EXPECT_NE(window.find("650x450"), std::string::npos) << window;
    EXPECT_TRUE(FileExists(home.File(".feedquill/SignatureTemplates/default.txt")));
}

TEST(WindowMode, CommandLineRunTypedInATerminalAnswersThere)
{
    // script(1) runs the program on a pseudo-terminal, as a user at a terminal emulator
    // would; with the display there, a message box would wait for an answer nobody sees.
    TempDir home;
    TempDir outputs;
    const std::string typescript(outputs.File("typescript").fn_str());
    const std::string command = "HOME='" + std::string(home.GetPath().fn_str())
                                + "' GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 timeout 30 "
                                  "script -qefc \"'" + ProgramUnderTest() + "' -c\" '"
                                + typescript + "' </dev/null >/dev/null 2>&1";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 1);  // not 124: it did not wait for anybody
    const std::string terminal = ReadBytes(typescript);
    EXPECT_NE(terminal.find("Error #11 while processing your feed\r\nNo feed address is set"),
              std::string::npos) << terminal;
}

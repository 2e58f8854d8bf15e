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
std::string FindProgramWindow(const std::string& title = "Spread your blog around the world")
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
             && text.find("\"" + title + "\"") != std::string::npos
             && text.find("(\"feedquill\" \"Feedquill\")") != std::string::npos )
            found = text;
    }
    pclose(pipe);
    return found;
}

} // anonymous namespace

// Starts the program in home with the language given, and gives the line of its window with the
// title given, once it is there; empty when it is not within 15 seconds.
std::string StartProgram(const TempDir& home, const char* lang, const std::string& title)
{
    const pid_t program = fork();
    if ( program == 0 )
    {
        setenv("HOME", home.GetPath().fn_str(), 1);
        setenv("GSETTINGS_BACKEND", "memory", 1);
        setenv("NO_AT_BRIDGE", "1", 1);
        setenv("LANG", lang, 1);
        unsetenv("LANGUAGE");
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        execl(ProgramUnderTest().c_str(), "feedquill", static_cast<char*>(nullptr));
        _exit(127);
    }
    if ( program < 0 )
        return std::string();

    std::string window;
    bool exited = false;
    for ( int i = 0; i < 150 && window.empty() && !exited; ++i )
    {
        wxMilliSleep(100);
        window = FindProgramWindow(title);
        exited = waitpid(program, nullptr, WNOHANG) == program;
    }
    if ( !exited )
    {
        kill(program, SIGTERM);
        waitpid(program, nullptr, 0);
    }
    return window;
}

TEST(WindowMode, OpensTheMainWindowAtItsSize)
{
    TempDir home;
    const std::string window = StartProgram(home, "C.UTF-8", "Spread your blog around the world");
    ASSERT_FALSE(window.empty());
    // 650 wide, and at least 450 high: as high as six lines of the template need.
    const std::size_t size = window.find(" 650x");
    ASSERT_NE(size, std::string::npos) << window;
    EXPECT_GE(std::atoi(window.c_str() + size + 5), 450) << window;
    EXPECT_TRUE(FileExists(home.File(".feedquill/SignatureTemplates/default.txt")));
}

TEST(WindowMode, SpeaksTheLanguageOfTheSession)
{
    // The language comes from the environment; the system need not have the locale itself.
    TempDir home;
    EXPECT_FALSE(StartProgram(home, "de_DE.UTF-8",
                              "Verbreiten Sie Ihr Blog in der ganzen Welt").empty());
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

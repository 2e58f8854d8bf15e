// The built program started with a display, as a user starts it from the desktop.

#include "testenv.h"

#include <wx/utils.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

// The line of `xwininfo -root -tree` that describes the program's main window, if any. The
// window class names the program, so windows of other tests on the same display never match.
std::string FindProgramWindow(const std::string& title = "Spread your blog around the world",
                              int* count = nullptr)
{
    FILE* pipe = popen("xwininfo -root -tree 2>/dev/null", "r");
    if ( !pipe )
        return std::string();
    std::string found;
    char line[1024];
    while ( fgets(line, sizeof(line), pipe) )
    {
        const std::string text(line);
        if ( text.find("\"" + title + "\"") == std::string::npos
             || text.find("(\"feedquill\" \"Feedquill\")") == std::string::npos )
            continue;
        if ( found.empty() )
            found = text;
        if ( count )
            ++*count;
    }
    pclose(pipe);
    return found;
}

} // anonymous namespace

// Starts the program in home with the language given; programs in bin (when given) come
// before the system's. Returns its process id.
pid_t LaunchProgram(const TempDir& home, const char* lang, const TempDir* bin = nullptr)
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
        unsetenv("XDG_RUNTIME_DIR");
        if ( bin )
        {
            const std::string path = std::string(bin->GetPath().fn_str()) + ":"
                                     + std::getenv("PATH");
            setenv("PATH", path.c_str(), 1);
        }
        execl(ProgramUnderTest().c_str(), "feedquill", static_cast<char*>(nullptr));
        _exit(127);
    }
    return program;
}

// Waits up to 15 seconds for the program's window with the title given: its line, or empty.
std::string WaitForWindow(pid_t program, const std::string& title)
{
    std::string window;
    for ( int i = 0; i < 150 && window.empty(); ++i )
    {
        wxMilliSleep(100);
        window = FindProgramWindow(title);
        if ( waitpid(program, nullptr, WNOHANG) == program )
            break;
    }
    return window;
}

void StopProgram(pid_t program)
{
    kill(program, SIGTERM);
    waitpid(program, nullptr, 0);
}

// Starts the program in home with the language given, and gives the line of its window with the
// title given, once it is there; empty when it is not within 15 seconds.
std::string StartProgram(const TempDir& home, const char* lang, const std::string& title)
{
    const pid_t program = LaunchProgram(home, lang);
    if ( program < 0 )
        return std::string();
    const std::string window = WaitForWindow(program, title);
    StopProgram(program);
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

TEST(WindowMode, ASecondStartRaisesTheFirstWindowAndEnds)
{
    TempDir home;
    const pid_t first = LaunchProgram(home, "C.UTF-8");
    ASSERT_FALSE(WaitForWindow(first, "Spread your blog around the world").empty());
    const pid_t second = LaunchProgram(home, "C.UTF-8");
    int status = -1;
    for ( int i = 0; i < 150 && waitpid(second, &status, WNOHANG) != second; ++i )
        wxMilliSleep(100);
    int windows = 0;
    FindProgramWindow("Spread your blog around the world", &windows);
    const bool ended = WIFEXITED(status);
    if ( !ended )
        StopProgram(second);
    EXPECT_TRUE(ended);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(windows, 1);
    EXPECT_EQ(waitpid(first, nullptr, WNOHANG), 0);  // the first window stays
    StopProgram(first);
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

namespace
{

bool HaveXdotool()
{
    return std::system("command -v xdotool >/dev/null 2>&1") == 0;
}

// Sends real input events to the display, as a user would: xdotool's arguments.
void Input(const std::string& arguments)
{
    const std::string command = "xdotool " + arguments + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    wxMilliSleep(400);
}

// A systemctl that takes its time, as one talking to a user manager does, and finds none, so that
// no test talks to the real one.
void WriteFakeSystemctl(const TempDir& bin)
{
    WriteBytes(bin.File("systemctl"), "#!/bin/sh\nsleep 1\nexit 1\n");
    chmod(bin.File("systemctl").fn_str(), 0755);
}

} // anonymous namespace

TEST(WindowMode, AMenuClosedWithEscapeAndAnotherOpenedKeepsTheProgramAlive)
{
    if ( !HaveXdotool() )
        GTEST_SKIP() << "xdotool is not installed";
    TempDir home;
    TempDir bin;
    WriteFakeSystemctl(bin);
    const pid_t program = LaunchProgram(home, "C.UTF-8", &bin);
    ASSERT_FALSE(WaitForWindow(program, "Spread your blog around the world").empty());
    const std::string window = "$(xdotool search --name 'Spread your blog around the world'"
                               " | head -n 1)";
    // File, Escape, Commands: the menu bar's titles sit at the window's top left.
    Input("mousemove --window " + window + " 20 12 click 1");
    Input("key Escape");
    Input("mousemove --window " + window + " 80 12 click 1");
    wxMilliSleep(1000);
    int status = 0;
    const bool ended = waitpid(program, &status, WNOHANG) == program;
    EXPECT_FALSE(ended) << (WIFSIGNALED(status) ? "killed by signal " : "exited ")
                        << (WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status));
    if ( !ended )
    {
        Input("key Escape");
        StopProgram(program);
    }
}

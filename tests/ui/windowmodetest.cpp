// The built program started with a display, as a user starts it from the desktop.

#include "testenv.h"

#include <wx/utils.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

// A display of its own, so that no other test's window can be taken for the program's. Xvfb
// picks a free display number itself and tells it through a pipe.
class PrivateDisplay
{
public:
    PrivateDisplay()
    {
        int fds[2];
        if ( pipe(fds) != 0 )
            return;
        m_server = fork();
        if ( m_server == 0 )
        {
            close(fds[0]);
            freopen("/dev/null", "w", stderr);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                   "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        pollfd ready = { fds[0], POLLIN, 0 };
        char number[16] = {};
        if ( m_server > 0 && poll(&ready, 1, 10000) > 0
             && read(fds[0], number, sizeof(number) - 1) > 0 )
            m_name = ":" + std::string(number).substr(0, std::string(number).find('\n'));
        close(fds[0]);
    }

    ~PrivateDisplay()
    {
        if ( m_server > 0 )
        {
            kill(m_server, SIGTERM);
            waitpid(m_server, nullptr, 0);
        }
    }

    const std::string& GetName() const { return m_name; }

    // Starts a program with extra environment settings; its process id, or -1.
    static pid_t Start(std::vector<const char*> args,
                       const std::vector<std::pair<std::string, std::string>>& env)
    {
        const pid_t child = fork();
        if ( child != 0 )
            return child;
        for ( const auto& setting : env )
            setenv(setting.first.c_str(), setting.second.c_str(), 1);
        freopen("/dev/null", "w", stderr);
        args.push_back(nullptr);
        execvp(args[0], const_cast<char* const*>(args.data()));
        _exit(127);
    }

private:
    std::string m_name;
    pid_t m_server = -1;
};

// The line of `xwininfo -root -tree` that describes the window with this title, if any.
std::string FindWindowLine(const std::string& display, const std::string& title)
{
    const std::string command = "xwininfo -display " + display + " -root -tree 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
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
    PrivateDisplay display;
    ASSERT_FALSE(display.GetName().empty());
    TempDir home;
    const pid_t program = PrivateDisplay::Start(
        {FEEDQUILL_BINARY},
        {{"HOME", std::string(home.GetPath().fn_str())}, {"DISPLAY", display.GetName()},
         {"GSETTINGS_BACKEND", "memory"}});
    ASSERT_GT(program, 0);

    std::string window;
    for ( int i = 0; i < 100 && window.empty(); ++i )
    {
        wxMilliSleep(100);
        window = FindWindowLine(display.GetName(), "Spread your blog around the world");
    }
    const bool exitedEarly = waitpid(program, nullptr, WNOHANG) == program;
    kill(program, SIGTERM);
    waitpid(program, nullptr, 0);

    EXPECT_FALSE(exitedEarly);
    EXPECT_NE(window.find("650x450"), std::string::npos) << window;
    EXPECT_TRUE(FileExists(home.File(".feedquill/SignatureTemplates/default.txt")));
}

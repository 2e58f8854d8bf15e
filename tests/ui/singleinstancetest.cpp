// One window per user and data folder: the lock, the raise request, and a stale lock.

#include "testenv.h"

#include "ui/singleinstance.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

// A second start in a process of its own: 0 when it found no other, 1 when it found one it
// could not reach, 2 when it asked it to raise its window.
int StartAgain(const wxString& dataDir)
{
    const pid_t child = fork();
    if ( child == 0 )
    {
        SingleInstance second(dataDir);
        _exit(!second.IsAnotherRunning() ? 0 : second.AskToRaise() ? 2 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // anonymous namespace

TEST(SingleInstance, NamesDifferPerDataFolderOnly)
{
    struct Case
    {
        const char* first;
        const char* second;
        bool same;
    } const cases[] = {
        {"/home/a/.feedquill/", "/home/a/.feedquill/", true},
        {"/home/a/.feedquill/", "/media/stick/feedquill/", false},  // a copy started with -l
        {"/home/a/.feedquill/", "/home/b/.feedquill/", false},
    };
    for ( const Case& c : cases )
        EXPECT_EQ(SingleInstance::GetName(c.first) == SingleInstance::GetName(c.second), c.same)
            << c.first << " " << c.second;
}

TEST(SingleInstance, ASecondStartAsksTheFirstToRaiseItsWindow)
{
    TempDir dataDir;
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::string(dataDir.GetPath().fn_str()));
    SingleInstance first(dataDir.GetPath());
    ASSERT_FALSE(first.IsAnotherRunning());
    int raised = 0;
    first.Listen([&raised] { ++raised; });

    // The second start is another process: the lock tells its own process apart.
    EXPECT_EQ(StartAgain(dataDir.GetPath()), 2);
    first.TakeRequests();
    EXPECT_EQ(raised, 1);

    // A copy of the program with its own data folder is a first start of its own.
    TempDir otherData;
    SingleInstance copy(otherData.GetPath());
    EXPECT_FALSE(copy.IsAnotherRunning());
}

TEST(SingleInstance, ARunThatCrashedLeavesNoLockAndItsSocketIsReplaced)
{
    TempDir dataDir;
    ScopedEnv runtime("XDG_RUNTIME_DIR", std::string(dataDir.GetPath().fn_str()));
    const wxString name = SingleInstance::GetName(dataDir.GetPath());
    // What a killed run leaves: its lock file naming a process that is gone, and its socket.
    const pid_t gone = fork();
    if ( gone == 0 )
        _exit(0);
    waitpid(gone, nullptr, 0);
    WriteBytes(dataDir.File(name + ".lock"), std::to_string(gone));
    chmod(dataDir.File(name + ".lock").fn_str(), 0600);  // as the checker makes it
    const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const std::string socketPath(dataDir.File(name + ".socket").fn_str());
    socketPath.copy(address.sun_path, sizeof(address.sun_path) - 1);
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    close(stale);

    SingleInstance first(dataDir.GetPath());
    EXPECT_FALSE(first.IsAnotherRunning());
    int raised = 0;
    first.Listen([&raised] { ++raised; });
    EXPECT_EQ(StartAgain(dataDir.GetPath()), 2);
    first.TakeRequests();
    EXPECT_EQ(raised, 1);
}

#include "base/runlock.h"

#include "base/datafolders.h"

#include <wx/log.h>
#include <wx/translation.h>
#include <wx/utils.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace
{

int s_waitLimit = 60;
int s_depth = 0;    // nested RunLocks held in this process
int s_fd = -1;      // the open lock file while s_depth > 0
timespec s_heldSince = {};

bool TryLock(int fd)
{
    return flock(fd, LOCK_EX | LOCK_NB) == 0;
}

} // anonymous namespace

timespec RunLock::HeldSince()
{
    return s_heldSince;
}

void RunLock::SetWaitLimit(int seconds)
{
    s_waitLimit = seconds;
}

int RunLock::GetWaitLimit()
{
    return s_waitLimit;
}

wxString RunLock::DescribeGivingUp()
{
    return wxString::Format(_("Another Feedquill run holds \"%s\"; this one waited %d "
                              "seconds and gave up."), g_dataDir + "Feedquill.lock", s_waitLimit);
}

RunLock::RunLock()
{
    Take(true);
}

RunLock::RunLock(NoWait)
{
    Take(false);
}

void RunLock::Take(bool wait)
{
    if ( s_depth > 0 )
    {
        ++s_depth;
        m_held = true;
        return;
    }
    const wxString path = g_dataDir + "Feedquill.lock";
    // Private, like the settings it guards. A lock file left by another user (a run with sudo)
    // may still be locked through a descriptor for reading.
    int fd = open(path.fn_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    if ( fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM) )
        fd = open(path.fn_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if ( fd < 0 )
    {
        if ( errno == ENOENT )
        {
            // Without a data folder to lock in, there are no settings to protect either.
            m_held = true;
            ++s_depth;
            return;
        }
        const int code = errno;
        m_error = wxString::Format(_("Feedquill cannot open its lock \"%s\" (%s), so it does "
                                     "not know whether another run is writing; it does nothing "
                                     "now."), path, wxSysErrorMsgStr(code));
        return;
    }
    const auto deadline = std::chrono::steady_clock::now()
                          + std::chrono::seconds(wait ? s_waitLimit : 0);
    bool locked = TryLock(fd);
    while ( !locked && std::chrono::steady_clock::now() < deadline )
    {
        wxMilliSleep(100);
        locked = TryLock(fd);
    }
    if ( !locked )
    {
        close(fd);
        m_busy = true;
        m_error = DescribeGivingUp();
        return;
    }
    s_fd = fd;
    clock_gettime(CLOCK_REALTIME, &s_heldSince);
    m_held = true;
    m_outermost = true;
    ++s_depth;
}

RunLock::~RunLock()
{
    if ( !m_held )
        return;
    --s_depth;
    if ( m_outermost )
    {
        close(s_fd);  // releases the lock
        s_fd = -1;
        s_heldSince = {};
    }
}

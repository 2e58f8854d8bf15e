#include "ui/singleinstance.h"

#include <wx/filename.h>
#include <wx/log.h>
#include <wx/utils.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{

const char RAISE_REQUEST[] = "raise\n";
const int POLL_INTERVAL_MS = 200;
// How long a second start tries to reach a first one that is still starting.
const int CONNECT_ATTEMPTS = 30;
const int CONNECT_PAUSE_MS = 100;

// Fills address for path; false when the path is too long for a socket's name.
bool MakeAddress(const wxString& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    const wxScopedCharBuffer name = path.fn_str();
    if ( name.length() >= sizeof(address.sun_path) )
        return false;
    std::memcpy(address.sun_path, name.data(), name.length());
    return true;
}

} // anonymous namespace

wxString SingleInstance::GetName(const wxString& dataDir)
{
    // FNV-1a of the folder's bytes: short, and the same in every run.
    unsigned long long hash = 14695981039346656037ULL;
    for ( const char byte : std::string(dataDir.utf8_str()) )
    {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 1099511628211ULL;
    }
    return wxString::Format("feedquill-%s-%016llx", wxGetUserId(), hash);
}

wxString SingleInstance::GetFolder(const wxString& dataDir)
{
    wxString runtime;
    if ( wxGetEnv("XDG_RUNTIME_DIR", &runtime) && !runtime.empty() && wxDirExists(runtime) )
        return runtime;
    return dataDir;
}

SingleInstance::SingleInstance(const wxString& dataDir)
{
    const wxString folder = GetFolder(dataDir);
    const wxString name = GetName(dataDir);
    m_socketPath = wxFileName(folder, name + ".socket").GetFullPath();
    // The checker logs when it removes the lock of a run that crashed; that is no news.
    wxLogNull quiet;
    m_checker.Create(name + ".lock", folder);
    m_timer.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { TakeRequests(); });
}

SingleInstance::~SingleInstance()
{
    m_timer.Stop();
    if ( m_listener >= 0 )
    {
        close(m_listener);
        unlink(m_socketPath.fn_str());
    }
}

bool SingleInstance::IsAnotherRunning() const
{
    return m_checker.IsAnotherRunning();
}

bool SingleInstance::AskToRaise() const
{
    sockaddr_un address;
    if ( !MakeAddress(m_socketPath, address) )
        return false;
    for ( int attempt = 0; attempt < CONNECT_ATTEMPTS; ++attempt )
    {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if ( fd < 0 )
            return false;
        if ( connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 )
        {
            const ssize_t sent = write(fd, RAISE_REQUEST, sizeof(RAISE_REQUEST) - 1);
            close(fd);
            return sent == static_cast<ssize_t>(sizeof(RAISE_REQUEST) - 1);
        }
        close(fd);
        // The first start may not be listening yet.
        wxMilliSleep(CONNECT_PAUSE_MS);
    }
    return false;
}

void SingleInstance::Listen(std::function<void()> raise)
{
    sockaddr_un address;
    if ( m_listener >= 0 || !MakeAddress(m_socketPath, address) )
        return;
    m_raise = std::move(raise);
    // A socket left by a run that crashed: this start holds the lock, so it is nobody's.
    unlink(m_socketPath.fn_str());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if ( fd < 0 )
        return;
    if ( bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0
         || listen(fd, 4) != 0 )
    {
        wxLogDebug("cannot listen on %s: %s", m_socketPath, wxSysErrorMsgStr(errno));
        close(fd);
        return;
    }
    m_listener = fd;
    m_timer.Start(POLL_INTERVAL_MS);
}

void SingleInstance::TakeRequests()
{
    if ( m_listener < 0 )
        return;
    for ( ;; )
    {
        const int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if ( client < 0 )
            return;
        // Only a start of this program by this user can reach the socket, and connecting is
        // what it has to say: its "raise" line is left unread.
        close(client);
        if ( m_raise )
            m_raise();
    }
}

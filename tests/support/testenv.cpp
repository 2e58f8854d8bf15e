#include "testenv.h"

#include "base/datafolders.h"
#include "project/configfile.h"
#include "project/configkeys.h"
#include "project/project.h"

#include <wx/config.h>
#include <wx/filename.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <wx/debug.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

namespace
{

void OnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
              const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_str().data(), line) << "wx assertion \"" << cond.utf8_str().data()
                                                 << "\" in " << func.utf8_str().data() << ": "
                                                 << msg.utf8_str().data();
}

} // anonymous namespace

void PrepareTestProcess()
{
    for ( const char* name : { "http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                               "ALL_PROXY", "all_proxy", "SSL_CERT_FILE",
                               "FEEDQUILL_UPDATE_URL" } )
        unsetenv(name);
    wxSetAssertHandler(OnAssert);
}

HttpOptions FastHttpOptions()
{
    HttpOptions options;
    options.connectTimeoutSecs = 2;
    options.lowSpeedTimeSecs = 1;
    options.totalTimeoutSecs = 3;
    return options;
}

int UnusedPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof addr;
    int port = 0;
    if ( fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), size) == 0
         && getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size) == 0 )
        port = ntohs(addr.sin_port);
    if ( fd >= 0 )
        close(fd);
    return port;
}

void PrintTo(const wxString& text, std::ostream* out)
{
    *out << '"' << text.utf8_str().data() << '"';
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value)
    : m_name(name)
{
    const char* previous = std::getenv(name);
    m_hadValue = previous != nullptr;
    if ( m_hadValue )
        m_previous = previous;
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    if ( m_hadValue )
        setenv(m_name.c_str(), m_previous.c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

TempDir::TempDir()
{
    char pattern[] = "/tmp/feedquill-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    EXPECT_NE(made, nullptr);
    m_path = wxString(made ? made : "/tmp") + "/";
}

TempDir::~TempDir()
{
    // Tests make folders read-only to provoke failures; make everything removable again.
    const std::string command = "chmod -R u+rwx '" + std::string(m_path.fn_str()) + "' 2>/dev/null";
    if ( std::system(command.c_str()) != 0 )
        wxLogDebug("chmod failed");
    wxFileName::Rmdir(m_path, wxPATH_RMDIR_RECURSIVE);
}

std::string ReadBytes(const wxString& path)
{
    std::ifstream in(std::string(path.fn_str()), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const wxString& path, const std::string& bytes)
{
    std::ofstream out(std::string(path.fn_str()), std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool FileExists(const wxString& path)
{
    return wxFileName::FileExists(path);
}

LogCollector::LogCollector()
    : m_previous(wxLog::SetActiveTarget(this))
{
}

LogCollector::~LogCollector()
{
    wxLog::SetActiveTarget(m_previous);
}

void LogCollector::DoLogRecord(wxLogLevel level, const wxString& msg,
                               const wxLogRecordInfo& WXUNUSED(info))
{
    if ( level <= wxLOG_Error )
        m_errors.push_back(msg);
    else
        m_others.push_back(msg);
}

wxString LogCollector::GetAll() const
{
    wxString all;
    for ( const wxString& line : m_errors )
        all += line + "\n";
    for ( const wxString& line : m_others )
        all += line + "\n";
    return all;
}

RecordingMessenger::RecordingMessenger()
    : m_previous(Messenger::Set(this))
{
}

RecordingMessenger::~RecordingMessenger()
{
    Messenger::Set(m_previous);
}

int RecordingMessenger::ShowMessage(const wxString& message, const wxString& caption,
                                    long style)
{
    m_messages.push_back({message, caption, style});
    if ( !m_answers.empty() )
    {
        const int answer = m_answers.front();
        m_answers.erase(m_answers.begin());
        return answer;
    }
    return (style & wxYES_NO) ? wxNO : wxOK;
}

RecordingLauncher::RecordingLauncher()
    : m_previous(Launcher::Set(this))
{
}

RecordingLauncher::~RecordingLauncher()
{
    Launcher::Set(m_previous);
}

bool RecordingLauncher::OpenBrowser(const wxString& url)
{
    m_urls.push_back(url);
    return true;
}

bool RecordingLauncher::Execute(const wxString& command)
{
    m_commands.push_back(command);
    return true;
}

bool RecordingLauncher::OpenFile(const wxString& path)
{
    m_files.push_back(path);
    return m_canOpenFiles;
}

int RecordingLauncher::Run(const wxString& command, wxString& output)
{
    m_runs.push_back(command);
    output.clear();
    return m_run ? m_run(command, output) : -1;
}

ProjectTest::ProjectTest()
{
    g_project = Project();
    g_dataDir = m_dir.GetPath();
    g_programDir = m_dir.GetPath();
    wxFileName::Mkdir(g_dataDir + "SignatureTemplates", wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
    ReopenConfig();
}

ProjectTest::~ProjectTest()
{
    std::unique_ptr<wxConfigBase> config(wxConfigBase::Set(nullptr));
    if ( config )
        config->Flush();
    g_project = Project();
    g_dataDir.clear();
    g_programDir.clear();
}

void ProjectTest::ReopenConfig()
{
    std::unique_ptr<wxConfigBase> old(wxConfigBase::Set(nullptr));
    if ( old )
        old->Flush();
    old.reset();
    OpenConfig();
}

void ProjectTest::LoadProject()
{
    g_project.Load(wxConfigBase::Get()->Read(OPTION_PROJECT, OPTION_PROJECT_DEFAULT));
}

wxString ProjectTest::GetTemplatePath(const wxString& name) const
{
    return m_dir.File("SignatureTemplates/" + name);
}

std::string ProgramUnderTest()
{
    const char* binary = std::getenv("FEEDQUILL_TEST_BINARY");
    return binary && *binary ? binary : FEEDQUILL_BINARY;
}

ProgramRun RunProgram(const std::string& args, const wxString& home,
                      const std::vector<std::string>& env, const std::string& binary)
{
    TempDir outputs;
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u http_proxy -u https_proxy"
                          " -u SSL_CERT_FILE -u FEEDQUILL_UPDATE_URL HOME='"
                          + std::string(home.fn_str()) + "'";
    for ( const std::string& setting : env )
        command += " '" + setting + "'";
    command += " timeout 60 '" + binary + "' " + args
               + " >'" + std::string(outputs.File("out").fn_str()) + "'"
               + " 2>'" + std::string(outputs.File("err").fn_str()) + "' </dev/null";
    const int raw = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadBytes(outputs.File("out"));
    run.err = ReadBytes(outputs.File("err"));
    return run;
}

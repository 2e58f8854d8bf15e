#ifndef FEEDQUILL_TESTS_TESTENV_H
#define FEEDQUILL_TESTS_TESTENV_H

#include "base/buildinfo.h"
#include "base/httpclient.h"
#include "base/launcher.h"
#include "base/messenger.h"

#include <wx/log.h>
#include <wx/string.h>

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

// What every test program does first: no proxy, certificate file or update address from the
// environment (every request stays on 127.0.0.1), and wx assertions fail the running test
// instead of opening a dialog nobody answers.
void PrepareTestProcess();

// Short limits, so that a client that waits for a broken server fails the test in seconds.
HttpOptions FastHttpOptions();

// A loopback port just released, so that a connection to it is refused at once.
int UnusedPort();

// Lets failed expectations show wxString values as text.
void PrintTo(const wxString& text, std::ostream* out);

// For tests of the update check, which a build may leave out.
#define SKIP_WITHOUT_UPDATE_CHECK() \
    if ( !FEEDQUILL_UPDATE_CHECK ) \
        GTEST_SKIP() << "built without the update check"

// Sets an environment variable, which every later test shares, until it goes out of scope.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    bool m_hadValue = false;
    std::string m_previous;
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path, ending in a separator.
    const wxString& GetPath() const { return m_path; }
    wxString File(const wxString& name) const { return m_path + name; }

private:
    wxString m_path;
};

// Reading and writing whole files as bytes, for checking exactly what the program wrote.
std::string ReadBytes(const wxString& path);
void WriteBytes(const wxString& path, const std::string& bytes);
bool FileExists(const wxString& path);

// Collects what is logged while it lives, instead of showing it.
class LogCollector : public wxLog
{
public:
    LogCollector();
    ~LogCollector() override;

    const std::vector<wxString>& GetErrors() const { return m_errors; }
    wxString GetAll() const;

protected:
    void DoLogRecord(wxLogLevel level, const wxString& msg,
                     const wxLogRecordInfo& info) override;

private:
    wxLog* m_previous;
    std::vector<wxString> m_errors;
    std::vector<wxString> m_others;
};

// A messenger that records each message and answers from a script (wxOK, wxYES, ... ;
// the default answer once the script runs out).
class RecordingMessenger : public Messenger
{
public:
    struct Message
    {
        wxString text;
        wxString caption;
        long style;
    };

    RecordingMessenger();
    ~RecordingMessenger() override;

    int ShowMessage(const wxString& message, const wxString& caption, long style) override;

    void Answer(int answer) { m_answers.push_back(answer); }
    const std::vector<Message>& GetMessages() const { return m_messages; }

private:
    Messenger* m_previous;
    std::vector<int> m_answers;
    std::vector<Message> m_messages;
};

// A launcher that records what would have been opened or started.
class RecordingLauncher : public Launcher
{
public:
    RecordingLauncher();
    ~RecordingLauncher() override;

    bool OpenBrowser(const wxString& url) override;
    bool Execute(const wxString& command) override;
    bool OpenFile(const wxString& path) override;
    // Records the command and answers with m_run; without one, the command cannot be started.
    int Run(const wxString& command, wxString& output) override;

    std::vector<wxString> m_urls;
    std::vector<wxString> m_commands;
    std::vector<wxString> m_files;
    bool m_canOpenFiles = true;
    std::vector<wxString> m_runs;
    std::function<int(const wxString& command, wxString& output)> m_run;

private:
    Launcher* m_previous;
};

// A clean program state for one test: an empty g_project, data and program folders in a
// temporary folder, and a fresh configuration on the data folder's Feedquill.cfg.
class ProjectTest : public ::testing::Test
{
protected:
    ProjectTest();
    ~ProjectTest() override;

    // Opens the configuration again, as a new run of the program would, after flushing it.
    void ReopenConfig();
    // Loads the project named by the configuration, as start-up does.
    void LoadProject();
    wxString GetConfigPath() const { return m_dir.File("Feedquill.cfg"); }
    wxString GetTemplatePath(const wxString& name) const;

    TempDir m_dir;
};



// What a run of the built program did.
struct ProgramRun
{
    int status = -1;     // the exit status, or -1 when it did not exit normally
    std::string out;     // standard output
    std::string err;     // standard error
};

// The program the tests run: FEEDQUILL_TEST_BINARY from the environment when set (such as an
// installed /usr/bin/feedquill), else the one just built.
std::string ProgramUnderTest();

// Runs feedquill (or a copy of it) with the given arguments, already quoted for the shell, and
// HOME, without any display, and with extra "NAME=value" settings; bounded to 60 seconds.
ProgramRun RunProgram(const std::string& args, const wxString& home,
                      const std::vector<std::string>& env = {},
                      const std::string& binary = ProgramUnderTest());
#endif

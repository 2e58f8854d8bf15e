// A signature the user wrote by hand is never replaced unseen, and its text is kept once.

#include "testenv.h"

#include "project/project.h"
#include "run/signaturebackup.h"

#include <wx/filefn.h>

#include <gtest/gtest.h>

namespace
{

class SignatureBackup : public ProjectTest
{
protected:
    SignatureBackup()
    {
        LoadProject();
        g_project.m_filePath = m_dir.File("signature");
        g_project.m_template = "-- \n%title%";
        g_project.m_templateIsSample = false;
        g_project.m_lastTitle = "Newest";
        g_project.m_lastLink = "http://blog.example/newest";
        g_project.m_quiet = true;
    }

    wxString Backup() const { return GetSignatureBackupPath(m_dir.File("signature")); }

    RecordingMessenger m_messenger;
};

} // anonymous namespace

TEST_F(SignatureBackup, WhatHappensToAFileBeforeItsFirstReplacement)
{
    const struct
    {
        const char* what;
        bool exists;         // the signature file is there, with a hand-written text
        bool window;         // else a command-line run
        int answer;          // the window's user's answer, if asked
        bool asked;
        int result;
        bool backedUp;
    } cases[] =
    {
        { "no file yet", false, true, wxNO, false, SIGNATURE_WRITTEN, false },
        { "window, user says no", true, true, wxNO, true, SIGNATURE_KEPT, false },
        { "window, user says yes", true, true, wxYES, true, SIGNATURE_WRITTEN, true },
        { "command line", true, false, wxNO, false, SIGNATURE_WRITTEN, true },
    };
    for ( const auto& c : cases )
    {
        SCOPED_TRACE(c.what);
        RecordingMessenger messenger;
        wxRemoveFile(m_dir.File("signature"));
        wxRemoveFile(Backup());
        g_project.m_cmdMode = !c.window;
        if ( c.exists )
            WriteBytes(m_dir.File("signature"), "Written by hand\n");
        messenger.Answer(c.answer);

        EXPECT_EQ(g_project.WriteSignature(), c.result);
        ASSERT_EQ(messenger.GetMessages().size(), c.asked ? 1u : 0u);
        if ( c.asked )
        {
            const wxString question = messenger.GetMessages()[0].text;
            EXPECT_TRUE(question.Contains("Written by hand")) << question;
            EXPECT_TRUE(question.Contains("-- \nNewest")) << question;
            EXPECT_TRUE(question.Contains(Backup())) << question;
        }
        EXPECT_EQ(ReadBytes(m_dir.File("signature")),
                  c.result == SIGNATURE_KEPT ? "Written by hand\n" : "-- \nNewest");
        EXPECT_EQ(FileExists(Backup()), c.backedUp);
        if ( c.backedUp )
        {
            EXPECT_EQ(ReadBytes(Backup()), "Written by hand\n");
        }
    }
}

TEST_F(SignatureBackup, ItsOwnTextIsReplacedWithoutAQuestionAndTheCopyIsMadeOnce)
{
    m_messenger.Answer(wxYES);
    WriteBytes(m_dir.File("signature"), "Written by hand\n");
    EXPECT_EQ(g_project.WriteSignature(), SIGNATURE_WRITTEN);
    ASSERT_EQ(m_messenger.GetMessages().size(), 1u);

    g_project.m_lastTitle = "Newer still";
    EXPECT_EQ(g_project.WriteSignature(), SIGNATURE_WRITTEN);
    EXPECT_EQ(m_messenger.GetMessages().size(), 1u);
    EXPECT_EQ(ReadBytes(m_dir.File("signature")), "-- \nNewer still");
    EXPECT_EQ(ReadBytes(Backup()), "Written by hand\n");

    // A next run of the program knows its text from the settings.
    ReopenConfig();
    LoadProject();
    g_project.m_filePath = m_dir.File("signature");
    g_project.m_template = "-- \n%title%";
    g_project.m_templateIsSample = false;
    g_project.m_lastTitle = "Third";
    wxRemoveFile(Backup());
    EXPECT_EQ(g_project.WriteSignature(), SIGNATURE_WRITTEN);
    EXPECT_EQ(m_messenger.GetMessages().size(), 1u);
    EXPECT_FALSE(FileExists(Backup()));
}

TEST_F(SignatureBackup, TheWindowWritesTheUntouchedSampleOnlyWhenTold)
{
    g_project.m_template = kDefaultTemplate;
    g_project.m_templateIsSample = true;
    m_messenger.Answer(wxNO);
    EXPECT_EQ(g_project.WriteSignature(), SIGNATURE_KEPT);
    EXPECT_FALSE(FileExists(m_dir.File("signature")));
    ASSERT_EQ(m_messenger.GetMessages().size(), 1u);
    EXPECT_TRUE(m_messenger.GetMessages()[0].text.Contains("sample"));

    // Edited in the window, it is the user's text.
    g_project.m_template = "Mine: %title%";
    EXPECT_EQ(g_project.WriteSignature(), SIGNATURE_WRITTEN);
    EXPECT_EQ(ReadBytes(m_dir.File("signature")), "Mine: Newest");
}

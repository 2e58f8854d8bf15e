// Signature template files: loading, the built-in default, and saving without losing anything.

#include "testenv.h"

#include "project/project.h"

#include <wx/filename.h>

#include <gtest/gtest.h>

#include <unistd.h>

using TemplateLoad = ProjectTest;

TEST_F(TemplateLoad, MissingFileIsCreatedEmptyAndTheDefaultIsUsed)
{
    LoadProject();
    EXPECT_EQ(g_project.m_template, kDefaultTemplate);
    EXPECT_EQ(g_project.m_template,
              "\nBest Regards, Arden Vosk \nLast Post in my blog:\n    %link% - %title%");
    ASSERT_TRUE(FileExists(GetTemplatePath("default.txt")));
    EXPECT_EQ(ReadBytes(GetTemplatePath("default.txt")), "");
}

TEST_F(TemplateLoad, EmptyOrMarkOnlyFileGivesTheDefault)
{
    for ( const std::string& content : { std::string(), std::string("\xEF\xBB\xBF") } )
    {
        WriteBytes(GetTemplatePath("default.txt"), content);
        g_project = Project();
        LoadProject();
        EXPECT_EQ(g_project.m_template, kDefaultTemplate);
        EXPECT_EQ(ReadBytes(GetTemplatePath("default.txt")), content);
    }
}

TEST_F(TemplateLoad, SpacesOnlyAreATemplate)
{
    WriteBytes(GetTemplatePath("default.txt"), "   ");
    LoadProject();
    EXPECT_EQ(g_project.m_template, "   ");
}

TEST_F(TemplateLoad, ByteOrderMarksSelectTheEncoding)
{
    // "Grüße %title%" as another editor may have saved it.
    const std::string utf16le("\xFF\xFEG\0r\0\xFC\0\xDF\0" "e\0 \0%\0t\0i\0t\0l\0e\0%\0", 28);
    WriteBytes(GetTemplatePath("default.txt"), utf16le);
    LoadProject();
    EXPECT_EQ(g_project.m_template, wxString::FromUTF8("Grüße %title%"));

    WriteBytes(GetTemplatePath("default.txt"), "\xEF\xBB\xBFGr\xC3\xBC\xC3\x9F" "e");
    g_project.LoadTemplate();
    EXPECT_EQ(g_project.m_template, wxString::FromUTF8("Grüße"));
}

// A template is UTF-8: a byte that is not becomes U+FFFD alone, and the file and the place are
// named, instead of the whole file turning into Latin-1.
TEST_F(TemplateLoad, ABadByteIsReplacedAloneAndNamed)
{
    const struct
    {
        std::string bytes;
        const char* text;
        const char* where;  // empty: no warning
    } cases[] =
    {
        { "Gr\xC3\xBC\xC3\x9F" "e\n%title%\xFF", "Gr\xC3\xBC\xC3\x9F" "e\n%title%\xEF\xBF\xBD",
          "line 2, column 8" },
        { "\xE9t\xE9", "\xEF\xBF\xBDt\xEF\xBF\xBD", "line 1, column 1 (and 1 more bytes)" },
        { "cut \xE2\x82", "cut \xEF\xBF\xBD\xEF\xBF\xBD", "line 1, column 5" },
        { "\xEF\xBB\xBF" "Gr\xC3\xBC\xC3\x9F" "e", "Gr\xC3\xBC\xC3\x9F" "e", "" },
    };
    for ( const auto& c : cases )
    {
        WriteBytes(GetTemplatePath("default.txt"), c.bytes);
        g_project = Project();
        LogCollector log;
        LoadProject();
        EXPECT_EQ(g_project.m_template, wxString::FromUTF8(c.text)) << c.bytes;
        const wxString said = log.GetAll();
        if ( *c.where )
        {
            EXPECT_NE(said.find(GetTemplatePath("default.txt")), wxString::npos) << said;
            EXPECT_NE(said.find(c.where), wxString::npos) << said;
        }
        else
            EXPECT_EQ(said, "");
        EXPECT_EQ(ReadBytes(GetTemplatePath("default.txt")), c.bytes);
    }
}

TEST_F(TemplateLoad, UnopenableFileKeepsTheTextInMemory)
{
    LoadProject();
    g_project.m_template = "kept";
    // A folder where the file should be: opening it for appending fails even for root.
    ASSERT_TRUE(wxRemoveFile(GetTemplatePath("default.txt")));
    ASSERT_TRUE(wxFileName::Mkdir(GetTemplatePath("default.txt")));
    LogCollector log;
    g_project.LoadTemplate();
    EXPECT_EQ(g_project.m_template, "kept");
    EXPECT_FALSE(log.GetErrors().empty());
}

TEST_F(TemplateLoad, ReadOnlyFileIsLoaded)
{
    WriteBytes(GetTemplatePath("default.txt"), "on disk");
    ASSERT_TRUE(wxFileName(GetTemplatePath("default.txt")).SetPermissions(wxPOSIX_USER_READ));
    g_project.m_name = "default";
    g_project.m_templateName = "default.txt";
    g_project.m_template = "previous";
    g_project.LoadTemplate();
    EXPECT_EQ(g_project.m_template, "on disk");
    EXPECT_TRUE(g_project.m_templateError.empty());
}

using TemplateSave = ProjectTest;

TEST_F(TemplateSave, WritesUtf8WithoutMarkAndLoadsBackTheSameText)
{
    LoadProject();
    const wxString text = wxString::FromUTF8("Grüße\n  %title%\n%link%");
    g_project.m_template = text;
    EXPECT_TRUE(g_project.SaveTemplate());
    EXPECT_EQ(ReadBytes(GetTemplatePath("default.txt")),
              "Gr\xC3\xBC\xC3\x9F" "e\n  %title%\n%link%");
    g_project.m_template.clear();
    g_project.LoadTemplate();
    EXPECT_EQ(g_project.m_template, text);
}

TEST_F(TemplateSave, WritesTheFileNamedAfterTheProjectNotItsTemplateName)
{
    WriteBytes(GetTemplatePath("shared.txt"), "shared text");
    g_project.m_name = "blog";
    g_project.m_templateName = "shared.txt";
    g_project.LoadTemplate();
    g_project.m_template = "edited";
    EXPECT_TRUE(g_project.SaveTemplate());
    EXPECT_EQ(ReadBytes(GetTemplatePath("blog.txt")), "edited");
    EXPECT_EQ(ReadBytes(GetTemplatePath("shared.txt")), "shared text");
    g_project.LoadTemplate();
    EXPECT_EQ(g_project.m_template, "shared text");
}

TEST_F(TemplateSave, TakesTheEditorsTextOnlyOnceTheFileCanBeWritten)
{
    LoadProject();
    WriteBytes(GetTemplatePath("default.txt"), "old");
    bool taken = false;
    EXPECT_TRUE(g_project.SaveTemplate([&] { taken = true; g_project.m_template = "new"; }));
    EXPECT_TRUE(taken);
    EXPECT_EQ(ReadBytes(GetTemplatePath("default.txt")), "new");

    // Without a folder to write into, nothing is taken and nothing changes.
    ASSERT_TRUE(wxFileName::Rmdir(m_dir.File("SignatureTemplates"), wxPATH_RMDIR_RECURSIVE));
    WriteBytes(m_dir.File("SignatureTemplates"), "a file, not a folder");
    taken = false;
    LogCollector log;
    EXPECT_FALSE(g_project.SaveTemplate([&] { taken = true; }));
    EXPECT_FALSE(taken);
    EXPECT_FALSE(log.GetErrors().empty());
    EXPECT_EQ(ReadBytes(m_dir.File("SignatureTemplates")), "a file, not a folder");
}

TEST_F(TemplateSave, KeepsALinkedTemplateALink)
{
    LoadProject();
    WriteBytes(m_dir.File("real.txt"), "old");
    ASSERT_TRUE(wxRemoveFile(GetTemplatePath("default.txt")));
    ASSERT_EQ(symlink("../real.txt", GetTemplatePath("default.txt").fn_str()), 0);
    g_project.m_template = "new";
    EXPECT_TRUE(g_project.SaveTemplate());
    EXPECT_TRUE(wxFileName::Exists(GetTemplatePath("default.txt"), wxFILE_EXISTS_SYMLINK
                                                                   | wxFILE_EXISTS_NO_FOLLOW));
    EXPECT_EQ(ReadBytes(m_dir.File("real.txt")), "new");
}

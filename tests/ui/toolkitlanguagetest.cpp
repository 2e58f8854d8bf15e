// The toolkit's own texts in the user's language: the buttons GTK makes for a message box.

#include "uitest.h"

#include "ui/translations.h"

#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/translation.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

// The few GTK calls that read a shown message box, declared here: the tests build without
// GTK's development headers, and the library is the one wxGTK is linked with.
extern "C" {
struct ToplevelList  // GList
{
    void* data;
    ToplevelList* next;
    ToplevelList* prev;
};
using GType = unsigned long;
ToplevelList* gtk_window_list_toplevels();
void g_list_free(ToplevelList* list);
GType gtk_message_dialog_get_type();
GType gtk_label_get_type();
GType gtk_container_get_type();
int g_type_check_instance_is_a(void* instance, GType type);
int gtk_widget_get_mapped(void* widget);
void gtk_container_forall(void* container, void (*callback)(void*, void*), void* data);
const char* gtk_label_get_text(void* label);
void gtk_dialog_response(void* dialog, int response);
}

namespace
{

const int GTK_RESPONSE_NO = -9;

void CollectTexts(void* widget, void* texts)
{
    if ( g_type_check_instance_is_a(widget, gtk_label_get_type()) )
        static_cast<std::vector<std::string>*>(texts)->push_back(gtk_label_get_text(widget));
    else if ( g_type_check_instance_is_a(widget, gtk_container_get_type()) )
        gtk_container_forall(widget, &CollectTexts, texts);
}

// Answers the message boxes GTK shows with No, keeping the texts each one showed.
class MessageBoxReader : public wxTimer
{
public:
    void Notify() override
    {
        if ( ++m_ticks > 400 )
            Stop();
        ToplevelList* windows = gtk_window_list_toplevels();
        for ( ToplevelList* item = windows; item; item = item->next )
        {
            void* window = item->data;
            if ( !g_type_check_instance_is_a(window, gtk_message_dialog_get_type())
                 || !gtk_widget_get_mapped(window) )
                continue;
            std::vector<std::string> texts;
            CollectTexts(window, &texts);
            std::string all;
            for ( const std::string& text : texts )
                all += text + "|";
            m_shown.push_back(all);
            gtk_dialog_response(window, GTK_RESPONSE_NO);
        }
        g_list_free(windows);
    }

    std::vector<std::string> m_shown;

private:
    int m_ticks = 0;
};

// A German session with a German C library locale, generated for the test, since the
// machine's own locales may not include one.
class GermanSession
{
public:
    GermanSession()
        : m_language("LANGUAGE", ""), m_all("LC_ALL", "de_DE.UTF-8"),
          m_lang("LANG", "de_DE.UTF-8"), m_locpath("LOCPATH", std::string(m_dir.GetPath().fn_str()))
    {
        const std::string command = "localedef -i de_DE -f UTF-8 '"
                                    + std::string(m_dir.GetPath().fn_str())
                                    + "de_DE.UTF-8' >/dev/null 2>&1";
        m_ok = std::system(command.c_str()) == 0;
        if ( m_ok )
            LoadTranslations(wxArrayString(1, &kLocaleDir));
    }

    ~GermanSession()
    {
        wxTranslations::Set(nullptr);
        std::setlocale(LC_ALL, "C");
    }

    bool IsOk() const { return m_ok; }

private:
    static const wxString kLocaleDir;
    TempDir m_dir;
    ScopedEnv m_language;
    ScopedEnv m_all;
    ScopedEnv m_lang;
    ScopedEnv m_locpath;
    bool m_ok = false;
};

const wxString GermanSession::kLocaleDir = FEEDQUILL_LOCALE_DIR;

} // anonymous namespace

using ToolkitLanguage = FrameTest;

TEST_F(ToolkitLanguage, MessageBoxesSpeakGermanTheirButtonsToo)
{
    GermanSession german;
    if ( !german.IsOk() )
        GTEST_SKIP() << "localedef cannot make a German locale here (package locales?)";
    MakeFrame();
    m_frame->GetTemplateCtrl()->SetValue("edited");
    m_frame->GetTemplateCtrl()->MarkDirty();

    // Closing asks whether to save, then whether to quit: No to both keeps the window.
    MessageBoxReader reader;
    reader.Start(25);
    m_frame->Close();
    reader.Stop();
    EXPECT_FALSE(IsClosing());
    ASSERT_EQ(reader.m_shown.size(), 2u);
    const std::string save = reader.m_shown[0];
    EXPECT_NE(save.find("Änderungen an der Signaturvorlage speichern?"), std::string::npos)
        << save;
    EXPECT_NE(save.find("|Nein|"), std::string::npos) << save;
    EXPECT_NE(save.find("Abbrechen|"), std::string::npos) << save;
    EXPECT_EQ(save.find("Yes"), std::string::npos) << save;
    EXPECT_NE(reader.m_shown[1].find("Programm beenden?"), std::string::npos) << reader.m_shown[1];
}

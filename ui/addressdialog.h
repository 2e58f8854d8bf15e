#ifndef FEEDQUILL_UI_ADDRESSDIALOG_H
#define FEEDQUILL_UI_ADDRESSDIALOG_H

#include "ui/fetchtask.h"

#include <wx/dialog.h>

class wxButton;
class wxStaticText;
class wxTextCtrl;

// Asks for the feed's address and reads it before it is stored: OK first checks what was typed
// on a worker thread (a blog's page gives the feed it names, an address without scheme gets
// one), puts the address found in the field with the newest post's title or what is wrong,
// and only a second OK takes it.
class AddressDialog : public wxDialog
{
public:
    AddressDialog(wxWindow* parent, const wxString& address);

    // Asks, and stores the address taken and the post found with it in g_project; false when
    // nothing was stored.
    static bool AskAndStore(wxWindow* parent);

    // The address to store: the one the check read from, else what was typed, trimmed.
    wxString GetAddress() const;
    // Whether the check found the newest post of the address in the field.
    bool HasPost() const { return m_found && IsChecked(); }
    const wxString& GetPostTitle() const { return m_title; }
    const wxString& GetPostLink() const { return m_link; }
    // What the dialog says under the field: the check's progress and its outcome.
    wxString GetOutcome() const;
    bool IsChecking() const { return m_check.IsRunning(); }
    wxTextCtrl* GetField() const { return m_field; }

private:
    // Whether the field holds what the last check was about.
    bool IsChecked() const;
    void StartCheck(const wxString& address);
    void ShowProgress(std::size_t bytes);
    void FinishCheck(struct AddressCheck& check, bool cancelled);
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);

    wxTextCtrl* m_field;
    wxStaticText* m_outcome;
    wxButton* m_ok;
    FetchTask m_check;
    wxString m_host;
    wxString m_checked;  // the field's text after the last check
    bool m_found = false;
    wxString m_title;
    wxString m_link;
};

#endif

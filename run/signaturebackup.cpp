#include "run/signaturebackup.h"

#include "base/messenger.h"
#include "base/safefile.h"
#include "project/configkeys.h"
#include "project/project.h"

#include <wx/config.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/strconv.h>

#include <cerrno>
#include <cstdint>

namespace
{

// A long text shortened for a message box.
wxString Excerpt(const wxString& text)
{
    const size_t limit = 600;
    if ( text.length() <= limit )
        return text;
    return text.Left(limit) + "\n...";
}

// A file's bytes as text to show: UTF-8, else Latin-1, which reads any bytes.
wxString DecodeForDisplay(const std::string& bytes)
{
    const wxString utf8 = wxString::FromUTF8(bytes.data(), bytes.size());
    return utf8.empty() && !bytes.empty() ? wxString(bytes.data(), wxConvISO8859_1, bytes.size())
                                          : utf8;
}

} // anonymous namespace

// FNV-1a: the digest only tells the program's own text from someone else's, it guards nothing.
wxString GetSignatureDigest(const std::string& bytes)
{
    std::uint64_t hash = 14695981039346656037ULL;
    for ( const unsigned char c : bytes )
    {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    return wxString::Format("%016llx", static_cast<unsigned long long>(hash));
}

wxString GetSignatureBackupPath(const wxString& path)
{
    return path + ".before-feedquill";
}

bool KeepForeignSignature(const Project& project, const wxString& path,
                          const std::string& bytes)
{
    std::string old;
    int error = 0;
    // Nothing to lose: no file, an empty one, the text about to be written, or the program's own.
    // What is not a regular file is not read (a FIFO would block): the writer refuses it.
    if ( !wxFileName::FileExists(path) || !ReadFileBytes(path, old, error) || old.empty()
         || old == bytes )
        return true;
    const wxString backup = GetSignatureBackupPath(path);
    if ( wxFileName::Exists(backup, wxFILE_EXISTS_ANY | wxFILE_EXISTS_NO_FOLLOW) )
        return true;
    wxString written;
    if ( wxConfigBase::Get()->Read(project.GetKey(ENTRY_SIGNATURE_DIGEST), &written)
         && written == GetSignatureDigest(old) )
        return true;

    if ( !project.m_cmdMode )
    {
        const wxString message = wxString::Format(
            _("The signature file \"%s\" holds text that Feedquill did not write:\n\n%s\n\n"
              "Replace it with this text?\n\n%s\n\nThe text it holds now will be kept in "
              "\"%s\"."),
            path, Excerpt(DecodeForDisplay(old)),
            Excerpt(DecodeForDisplay(bytes)), backup);
        if ( Messenger::Get()->ShowMessage(message, _("Feedquill"),
                                           wxYES_NO | wxICON_QUESTION) != wxYES )
            return false;
    }
    wxString reason;
    // The user's own words: private, whatever the file's permissions were.
    if ( !ReplaceFile(backup, old, reason, 0600) )
    {
        wxLogError(_("The signature file \"%s\" was left as it was, because its text could not "
                     "be kept in \"%s\".\n%s."), path, backup, reason);
        return false;
    }
    return true;
}

bool ConfirmSampleTemplate(const Project& project)
{
    if ( project.m_cmdMode || !project.m_templateIsSample || project.m_template != kDefaultTemplate )
        return true;
    return Messenger::Get()->ShowMessage(
               _("The signature template is still the sample that comes with Feedquill, with a "
                 "made-up name in it. Write it to the signature file all the same?"),
               _("Feedquill"), wxYES_NO | wxICON_QUESTION) == wxYES;
}

void RememberSignature(const Project& project, const std::string& bytes)
{
    wxConfigBase::Get()->Write(project.GetKey(ENTRY_SIGNATURE_DIGEST), GetSignatureDigest(bytes));
}

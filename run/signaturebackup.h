#ifndef FEEDQUILL_RUN_SIGNATUREBACKUP_H
#define FEEDQUILL_RUN_SIGNATUREBACKUP_H

#include <wx/string.h>

#include <string>

class Project;

// Where the text a signature file held before the program first replaced it is kept.
wxString GetSignatureBackupPath(const wxString& path);

// Guards a signature the user wrote by hand: before the program first replaces a file whose
// text it did not write itself, the window asks, showing the old text and the new, and the old
// text is copied beside the file once, whatever the mode. bytes is the new content. False when
// the file is to stay as it is: the user said No, or the copy failed (logged).
bool KeepForeignSignature(const Project& project, const wxString& path,
                          const std::string& bytes);

// The window writes the built-in sample, with its made-up name, only when the user says so.
// False when the sample is not to be written.
bool ConfirmSampleTemplate(const Project& project);

// What the settings keep of the bytes written, to know them again.
wxString GetSignatureDigest(const std::string& bytes);

// Remembers what the program wrote into the signature file, so that it knows its own text.
void RememberSignature(const Project& project, const std::string& bytes);

#endif

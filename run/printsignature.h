#ifndef FEEDQUILL_RUN_PRINTSIGNATURE_H
#define FEEDQUILL_RUN_PRINTSIGNATURE_H

#include <cstdio>

class Project;

// The signature as the next update would write it, from the stored post, on out (--print):
// HTML-escaped when the signature file is HTML. Fetches nothing, writes no file and takes no
// lock, so that a mail program can run it for every message. False, with the reason on
// standard error, when there is no stored post or no template to expand.
bool PrintSignature(const Project& project, std::FILE* out);

#endif

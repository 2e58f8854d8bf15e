#ifndef FEEDQUILL_PROJECT_CONFIGKEYS_H
#define FEEDQUILL_PROJECT_CONFIGKEYS_H

// Keys of Feedquill.cfg, each beside its default.

// Absolute keys.
constexpr const char* OPTION_PROJECT = "/options/Project";
constexpr const char* OPTION_PROJECT_DEFAULT = "default";
constexpr const char* OPTION_READ_ONLY = "/options/ReadOnly";
constexpr bool OPTION_READ_ONLY_DEFAULT = false;

// Entries of a project's group "/project/<name>"; every default is empty but the template's.
constexpr const char* PROJECT_GROUP = "/project/";
constexpr const char* ENTRY_FEED_URL = "FeedURL";
constexpr const char* ENTRY_FILE_PATH = "FilePath";
constexpr const char* ENTRY_LAST_TITLE = "LastTitle";
constexpr const char* ENTRY_LAST_LINK = "LastLink";
// More of the post LastTitle names, and of its feed, for the template's macros; each kept as
// LastTitle is, also through a 304. LastDate is in UTC, "YYYY-MM-DDTHH:MM:SSZ".
constexpr const char* ENTRY_LAST_DATE = "LastDate";
constexpr const char* ENTRY_LAST_SUMMARY = "LastSummary";
constexpr const char* ENTRY_LAST_AUTHOR = "LastAuthor";
constexpr const char* ENTRY_FEED_TITLE = "FeedTitle";
constexpr const char* ENTRY_FEED_LINK = "FeedLink";
// The validators of the answer that gave LastTitle and LastLink, for a conditional request.
constexpr const char* ENTRY_ETAG = "ETag";
constexpr const char* ENTRY_LAST_MODIFIED = "LastModified";
// The address that answered with them (after redirections): they are sent to it alone.
constexpr const char* ENTRY_VALIDATOR_URL = "ValidatorURL";
// A digest of the bytes last written to the signature file, to tell its own text from the user's.
constexpr const char* ENTRY_SIGNATURE_DIGEST = "SignatureDigest";
constexpr const char* ENTRY_TEMPLATE = "ProjectTemplate";  // default: the project name + ".txt"
constexpr const char* TEMPLATE_EXTENSION = ".txt";

#endif

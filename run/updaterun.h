#ifndef FEEDQUILL_RUN_UPDATERUN_H
#define FEEDQUILL_RUN_UPDATERUN_H

#include <wx/string.h>

#include <functional>

class FeedReader;
class Project;

// What Project::Update does once the feed was read, for a caller that reads it elsewhere (the
// window, on a worker thread; a run over every project): error is reader.Read()'s result.
// checkForUpdates, when given, stands in for CheckForUpdates(true) if a check is due. A
// SignatureResult.
int FinishUpdate(Project& project, const FeedReader& reader, int error,
                 const std::function<void()>& checkForUpdates = {});

#endif

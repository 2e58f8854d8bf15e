#ifndef FEEDQUILL_RUN_FEEDNOTICE_H
#define FEEDQUILL_RUN_FEEDNOTICE_H

class FeedReader;
class Project;

// Tells a command-line run that is not quiet which feed it read when the stored address is a
// web page that names one, and how to store the feed's own address. The stored address stays
// as the user wrote it.
void TellFeedFoundOnPage(const Project& project, const FeedReader& reader);

#endif

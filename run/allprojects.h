#ifndef FEEDQUILL_RUN_ALLPROJECTS_H
#define FEEDQUILL_RUN_ALLPROJECTS_H

class Project;

// The update run of every project in Feedquill.cfg (--all), under the lock the caller holds:
// the feeds are read at the same time on this thread, then each project's settings and
// signature are written as its own run would write them; one project's failure does not stop
// the others, and every message names its project. run gives the flags of the run (quiet,
// command-line mode, an update check due, done once at the end). True when every project's
// signature holds its newest post.
bool UpdateAllProjects(Project& run);

#endif

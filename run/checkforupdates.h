#ifndef FEEDQUILL_RUN_CHECKFORUPDATES_H
#define FEEDQUILL_RUN_CHECKFORUPDATES_H

class Project;
class UpdateChecker;

// Tells the user the result of a check, as Project::CheckForUpdates does after its fetch; for
// a caller that fetched elsewhere. The checker's destructor then records the outcome. quiet
// keeps quiet unless there is a newer version.
void ReportUpdateCheck(Project& project, const UpdateChecker& checker, int result, bool quiet);

#endif

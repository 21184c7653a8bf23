// msisql --summary and --summary-set: the summary information of a package
// as NAME<TAB>VALUE lines, and changing it by name.
#pragma once

// Exit status as msisql's: 0, 1 after an error line, 2 for a usage error.
int PrintSummary(const char* package);
int SetSummary(const char* package, int count, char** assignments);

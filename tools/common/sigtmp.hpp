// Temporary output files that a signal must not leave behind.
#pragma once
#include <string>

// Names a temporary file to remove if SIGINT, SIGTERM, SIGHUP or SIGQUIT
// ends the program; sigdrop forgets it (renamed or removed).
void sigkeep(const std::string& name);
void sigdrop(const std::string& name);

// Installs the handler for those signals, and ignores SIGPIPE so that a
// pipe closed by its reader becomes a write error instead of a silent end.
void sigsetup();

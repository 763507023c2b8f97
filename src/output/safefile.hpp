// Files the run writes, made safe: a results-type file appears whole or not
// at all, a side file of the run's own is never written through a link or
// over a file that was there, and neither is left behind by a failure.
//
// Each file gets a slot number at the start of the run (before any long
// work, so that a name that cannot be written stops the run at once); the
// run state keeps the number (vars.outslot, vars.rawslot).  Master process
// only: the other processes of kinex-par write no files.
//
// A results-type file (safeprepare), by what stands at its name:
//  * nothing, or a regular file (also through a symbolic link): a temporary
//    file "<name>.part-XXXXXX" is created at once in the same folder
//    (exclusively, never through a link; an existing file's permission
//    bits and owner are copied to it).  Everything is written there and
//    safecommit renames it onto the name: readers see the old file or the
//    whole new one, never part of one.
//  * a device, a named pipe, a socket, or any name under /dev/ or /proc/:
//    written directly at the time of writing, as it stands.  The first
//    safeopen opens it; the descriptor stays open until safecommit, so that
//    a pipe's reader sees one stream.
//  * an existing regular file in a folder where no temporary file can be
//    made (no write permission there): written directly in place, as
//    before.
//  * a folder, a name that cannot be created (missing or unwritable
//    folder), an existing file without write permission, a link to
//    nothing: the run stops with "Cannot open file X for writing (why)!".
// A side file (safecreate) is created exclusively, never through a link:
// anything at its name (a file, a link, a folder, a pipe) stops the run
// with "File X already exists! The run would overwrite and then remove
// it."  saferemove deletes it at the end.
//
// Use, for a file F written at the end of a run:
//     start:  vars.fslot = safeprepare(F, "OpenOutput");
//     end:    textout t;
//             safeopen(t, vars.fslot, F, false, "Output");
//             textwrite(t, ...);  ...
//             textclose(t);
//             safecommit(vars.fslot, "Output");
// safeopen may be called several times (the first from the start of the
// file, later ones appending); textwrite and textclose stop the run with
// messages that name F, never the temporary file.  A slot number below 0
// means "not prepared": safeopen then opens F by name as the text files do
// and safecommit does nothing (stages run on their own, as the unit tests
// do).
//
// A fatal stop: the program entry calls safedropall, which removes every
// temporary file not yet committed and every side file not yet removed.
// SIGTERM, SIGINT and SIGHUP (unless ignored when the run began) do the
// same and then end the process by that signal; SIGPIPE is ignored, so that
// a pipe whose reader went away fails the write with a message.  A SIGKILL
// or a crash leaves the temporary file; the results file itself is never
// touched before safecommit.
#pragma once

#include <string>

#include "run/textfile.hpp"

// Slot of a results-type file (see above); stops the run when the name
// cannot be written.
int safeprepare(const std::string& name, const std::string& routine);

// Slot of a side file created exclusively now; stops the run when anything
// stands at the name or it cannot be created.
int safecreate(const std::string& name, const std::string& routine);

// True when the slot's file is written in place rather than renamed into
// place: a device, a pipe, a name under /dev/ or /proc/ (not regular), or a
// regular file in a folder without write permission.
bool safedirect(int slot);

// True when the slot's file is (or will be) a regular file.
bool saferegular(int slot);

// Opens the slot's file for writing: from its start (replacing what was
// written through the slot before) or, with append, at its end.  slot < 0:
// opens `name` as textopen does.
void safeopen(textout& out, int slot, const std::string& name, bool append, const std::string& routine);

// The file the slot's name stands for: the name itself, or for a link to a
// regular file the file it leads to (the one the run replaces).
std::string safetarget(int slot);

// After the last textclose: pushes the file to the disk and renames it
// onto its name (temporary files); closes a direct file.  The slot is free
// afterwards.  slot < 0: nothing.
void safecommit(int slot, const std::string& routine);

// Commits temporary files as one: all pushed to the disk first, then
// renamed onto their names, the last first and slot[0] last, with SIGTERM,
// SIGINT and SIGHUP held back while they are renamed, so that a run ends
// with all new files or none (a failure before the renames leaves the
// earlier files of all the names as they were).  Slots below 0 are passed
// over.
void safecommitgroup(const int* slot, int n, const std::string& routine);

// Removes a side file (only if it is still the file the run made) and
// frees the slot.  slot < 0: removes `name` as it stands.
void saferemove(int slot, const std::string& name);

// After a fatal stop: removes every temporary file not committed and every
// side file not removed; frees every slot.
void safedropall();

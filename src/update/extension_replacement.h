#pragma once
// Replacing the extension folder's contents so that a failed or interrupted
// installation never leaves the user without the extension that worked, and
// so that nothing found in the extension platform's folders steers it.
//
// The package is extracted into a folder of its own, "com.qv.plug.new" in
// the extension platform's root folder, made exclusively, and renamed into
// place once complete. The old contents are moved aside whole to
// "com.qv.plug.old" beside it before that, and given up only after the new
// ones are in place: renamed to "com.qv.plug.discard" and removed. Before
// anything is moved aside, a record file in the working folder says that a
// replacement is under way; it goes once the replacement is over, so the
// start-up recovery puts back only a folder this program set aside. Every
// step is a single rename or acts on a folder that is not the live one, each
// is flushed to disk before the next one depends on it, every folder it
// makes is new (an existing one is a failure, never reused), and a symbolic
// link or reparse point on any of these paths is refused, never followed.
// On Windows each rename and deletion waits a few seconds for a file that
// another program holds open.
#include <filesystem>

#include "update/log/activity_log.h"

// The extension folder's contents while a replacement is under way.
std::filesystem::path SetAsideFolder();
// Old contents whose replacement completed, waiting to be removed.
std::filesystem::path DiscardFolder();
// The new contents while the package is extracted into them.
std::filesystem::path StagingFolder();

// Whether the record of a replacement under way is there.
bool ReplacementRecorded();

// Records the replacement, moves the old extension folder aside when there
// is one, else makes the missing levels above it, and makes the empty
// staging folder. True when an old extension was moved aside. Any entry at
// the set-aside, discard or staging folder's place fails it before anything
// changed. Raises the file-system error of the failing step.
bool StartReplacement();

// After a completed extraction into the staging folder: makes it durable and
// renames it into the extension folder's place.
void PutNewContentsInPlace();

// Then gives up what was moved aside and ends the record.
void DiscardSetAsideContents();

// Puts back the contents that were moved aside, in place of whatever a failed
// or interrupted replacement left, finishes removing given-up contents and
// removes an unfinished staging folder, when the record says this program
// was replacing the extension. Without the record such folders are left
// where they are, each with the error line RecoverNotRecorded, and the live
// extension is kept. Does nothing when no replacement was under way. Safe to
// repeat after a crash at any point of its own.
void RecoverInterruptedReplacement(const ActivityLog& log);

#pragma once
// Replacing the extension folder's contents so that a failed or interrupted
// installation never leaves the user without the extension that worked.
//
// The old contents are moved aside whole to the folder "com.qv.plug.old" in
// the extension platform's root folder before the package is extracted, and given up only after
// the extraction completed: they are renamed to "com.qv.plug.discard" and then
// removed. Every step is a single rename or acts on a folder that is not the
// live one, and each is flushed to disk before the next one depends on it, so
// whatever a crash or a power loss interrupts, the folders on disk tell what
// to do next: see RecoverInterruptedReplacement. On Windows each rename and
// deletion waits a few seconds for a file that another program holds open,
// and every folder the program creates there is open to all users' copies.
#include <filesystem>

// The extension folder's contents while a replacement is under way.
std::filesystem::path SetAsideFolder();
// Old contents whose replacement completed, waiting to be removed.
std::filesystem::path DiscardFolder();

// Empties the extension folder by moving it aside whole and creating it anew.
// Raises the file-system error of the failing rename or folder creation.
void ClearExtensionFolder();

// Creates the extension folder where there was none, and records that it is
// being filled, so that a crash before the extraction completed is noticed.
void CreateFreshExtensionFolder();

// After a completed extraction: gives up what was moved aside.
void DiscardSetAsideContents();

// Puts back the contents that were moved aside, in place of whatever a failed
// or interrupted extraction left, and finishes removing given-up contents.
// Does nothing when no replacement was under way. Safe to repeat after a
// crash at any point of its own.
void RecoverInterruptedReplacement();

#pragma once
// What an earlier run left behind in the working folder when it was killed in
// the middle of writing a file.

// Removes the temporary files "<name>.tmp-<pid>-<n>" of the program's own
// working files (see platform::ReplacementFile) whose writing process is no
// longer running. Best effort: an entry that cannot be removed stays.
void RemoveLeftoverFiles();

#pragma once
// The start-up installation's warning that Illustrator runs: a message box
// whose answer changes nothing, since the installation goes on all the same.
void ShowHostRunningWarning();

#pragma once
// The start-up defaults of the shared state: assigned at start-up and again when the data model is
// reloaded.

namespace telm {

// Assigns the start-up defaults of the shared state. The first failure shows message 1999 with the
// error's description in a message box and leaves the later defaults unassigned.
void InitGlobalDefaults();

}  // namespace telm

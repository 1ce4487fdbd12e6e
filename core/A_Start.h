#pragma once
// Start-up of the add-in: once per host application, at the first TELMStart.

namespace telm {

// Starts the add-in unless the host's caption already holds "TELM.NET" (the started marker); keeps
// the process's current directory. A failure to read the caption or to save or restore the
// directory asks the host to quit.
void StartAddIn();
// The start-up sequence; a step that fails is skipped and the next one runs.
void RunStartUp();
// Assigns the start-up defaults of the shared state. The first failure shows message 1999 with the
// error's description in a message box and leaves the later defaults unassigned.
void InitGlobalDefaults();

}  // namespace telm

#pragma once
// Start-up of the add-in: once per host application, at the first TELMStart.

namespace telm {

// Starts the add-in unless the host's caption already holds "TELM.NET" (the started marker); keeps
// the process's current directory. A failure to read the caption or to save or restore the
// directory asks the host to quit.
void StartAddIn();
// The start-up sequence; a step that fails is skipped and the next one runs.
void RunStartUp();

}  // namespace telm

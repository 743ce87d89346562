#pragma once
// The worker side: this program started again by the host in a hidden mode.
// It loads the bundle, imports the files of each batch the host sends and
// writes one result per file back. A worker writes nothing else: only the host
// writes output. It lives no longer than its host, and within the memory cap
// the host gave it.

namespace ossel {

// The worker's main; argv as the host built it. Returns its exit status.
int runImportWorker(int argc, char** argv);

}  // namespace ossel

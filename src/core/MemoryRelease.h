#pragma once

// Hands memory that was freed back to the system. The C library keeps
// freed blocks for later use; after a window that held a large result or
// file has closed, the program's size would otherwise stay that of the
// window's peak.
void ReleaseFreedMemory();

#pragma once

// Named points of a run where a test can stop the process as hard as a power cut or a
// kill would: when the environment variable DOLVANE_FAULT_AT names the point, the process
// kills itself there with SIGKILL (no clean-up of any kind runs). Without that variable
// a fault point does nothing.

void faultPoint(const char* name);

// CPU time the whole process has used (user + system), in seconds.
// One file per platform. Any thread.
#pragma once

double processCpuSeconds();

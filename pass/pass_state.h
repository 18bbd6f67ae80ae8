#pragma once

// The state of the pass in progress. One pass runs at a time, on one thread.

inline constexpr int PASS_MODIFY = 1;
inline constexpr int PASS_RESTORE = 2;

// The operation applied to each BDMV folder; any other value applies none.
extern int g_passMode;
// BDMV folders handled in the current pass.
extern int g_passCount;
// "Convert 3D to 2D", taken when a Modify pass starts.
extern int g_convert3DTo2D;

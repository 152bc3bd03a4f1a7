#pragma once
// The process-wide transaction depth map, private to the data layer.

namespace ab {

// True while the calling thread's transaction was lost with its link and its outermost scope
// has not ended yet.
bool ThreadTransactionLost();

}  // namespace ab

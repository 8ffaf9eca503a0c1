#pragma once
// Makes the next allocation by nothrow new fail, as when no memory can be had.
void FailNextNothrowAllocation();

#pragma once
// Makes an allocation by nothrow new fail, as when no memory can be had.
void FailNextNothrowAllocation();
/// The nothrow allocation after the next `successes` ones fails.
void FailNothrowAllocationAfter(int successes);

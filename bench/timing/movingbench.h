#pragma once
// The moving-object part of the timing benchmark: a run of `planned` presentations with
// two presses each; prints its figures; 0 when they meet their targets.
int MovingBench(int planned);

// The global new and delete, replaced in every test program that calls these:
// all their forms count the blocks and bytes they hand out.
#pragma once

// News made so far (every form, nothrow ones too).
long long allocationsMade();
// Bytes and blocks allocated and not freed yet.
long long liveAllocatedBytes();
long long liveAllocatedBlocks();

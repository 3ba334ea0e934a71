// One running copy per data folder: a lock held for the program's life, and a
// local socket on which a second copy asks the first to come to the front.
// The message loop polls it; each host's build gives it (platform/native with
// a file lock and a socket; in the browser each page is one copy).
#pragma once

// Takes the lock for the data folder, or finds that another copy holds it.
bool otherCopyRunning();
// Asks the copy that holds the lock to bring its window to the front.
bool askOtherCopyToComeForward();
// Answers requests from later copies (calls the host's raiseWindow).
void pollInstanceRequests();
void releaseInstance();

// What a server killed in the middle of its work leaves in the working
// directory, put right before the next one serves anyone. Main thread, at
// start-up, before any thread is started.
#pragma once

// Removes the temporary files of the server's atomic replacements ("W&B.txt.tmp"
// and the like, never the files they were to replace) and the feature files of
// an unfinished training, completes or drops a window delete left half done
// (finishWindowDelete), and cuts every raw file back to its last logged
// window (settleRawFile). Each removal is logged.
void recoverWorkingDirectory();

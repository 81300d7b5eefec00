#pragma once

#include "platform/result.h"

namespace morvane {

// How a command ended, for a caller that acts on it (the terminal program) rather than on what the command
// showed. The windows show the command's own messages and need none of it.
enum class Outcome {
    Done,       // the command did what it was asked
    Cancelled,  // the user stopped it or answered No: nothing was changed that is not reported
    Failed,     // it could not: the message shown says why
};

struct CommandResult {
    Outcome outcome = Outcome::Failed;
    ErrorKind error = ErrorKind::Other;  // for a failure of the host: what kind of failure

    bool done() const { return outcome == Outcome::Done; }
};

}  // namespace morvane

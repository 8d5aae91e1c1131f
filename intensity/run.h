// The run sequence of the program: banner and prompt, the file-name read, the
// computing stages in their fixed order, the closing message and reply, and
// the stop.
#pragma once

namespace intensity {

// Performs one whole run; it ends through the stop of the record I/O layer.
[[noreturn]] void run();

}  // namespace intensity

// The run sequence of the program: banner and prompt, the file-name read, the
// record read, one computation of the intensity by the computing core and its
// results, the closing message and reply, and the stop.
#pragma once

namespace console {

// Performs one whole run; it ends through the stop of the record I/O layer.
[[noreturn]] void run();

}  // namespace console

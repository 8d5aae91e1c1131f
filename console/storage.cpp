#include "console/storage.h"

namespace console {

SampleArray TIME{};
SampleArray ACC1{};
SampleArray ACC2{};
SampleArray ACC3{};

char FNAME[kFileNameLength]{};

std::int32_t NT = 0;
float DT = 0.0f;
float REPLY = 0.0f;

}  // namespace console

#include "console/storage.h"

namespace console {

SampleArray sample_times{};
SampleArray acceleration_1{};
SampleArray acceleration_2{};
SampleArray acceleration_3{};

char file_name[kFileNameLength]{};

std::int32_t sample_count = 0;
float sampling_interval = 0.0f;
float closing_reply = 0.0f;

}  // namespace console

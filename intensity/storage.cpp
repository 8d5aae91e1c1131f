#include "intensity/storage.h"

namespace intensity {

SampleArray TIME{};
SampleArray ACC1{};
SampleArray ACC2{};
SampleArray ACC3{};

SpectrumArray SPEC1{};
SpectrumArray SPEC2{};
SpectrumArray SPEC3{};

SampleArray AVEC{};
SampleArray AVEC_SORTED{};
SampleArray SORT_SCRATCH{};

char FNAME[kFileNameLength]{};

std::int32_t NT = 0;
float DT = 0.0f;
std::int32_t IF1 = 0;
std::int32_t NF = 0;
float DUR = 0.0f;
float DOM = 0.0f;
std::int32_t NOM = 0;
float EOM = 0.0f;
float Amax = 0.0f;
float A0 = 0.0f;
float Shindo = 0.0f;
float REPLY = 0.0f;

}  // namespace intensity

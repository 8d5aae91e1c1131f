#include "intensity/vector_wave.h"

#include "intensity/console.h"
#include "intensity/storage.h"
#include "recio/statement.h"

namespace intensity {

namespace {

constexpr std::int32_t kWaveUnit = 11;

// Time of sample I, counted from 0 for the first sample.
float sample_time(std::int32_t I, float DT) {
  return static_cast<float>(static_cast<double>(I - 1) * DT);
}

void write_wave_record(std::int32_t I, float value) {
  recio::begin_write(kWaveUnit, "(4E12.4)", -1);
  recio::write_real(sample_time(I, DT));
  recio::write_real(value);
  recio::end_write();
}

}  // namespace

float vector_sample(float re1, float re2, float re3, float DUR) {
  const float a1 = static_cast<float>(static_cast<double>(re1) / DUR);
  const float a2 = static_cast<float>(static_cast<double>(re2) / DUR);
  const float a3 = static_cast<float>(static_cast<double>(re3) / DUR);
  return static_cast<float>(recio::SQRT((static_cast<double>(a3) * a3 + static_cast<double>(a2) * a2) +
                                        static_cast<double>(a1) * a1));
}

void vector_wave_stage() {
  console_empty_line();
  console_text_line("wave1_dat (filtered wave):");

  recio::open_unit(kWaveUnit, "wave1_dat", 9, "UNKNOWN", 7);
  Amax = compose_vector({SPEC1, SPEC2, SPEC3}, NT, DUR, AVEC, write_wave_record);
  recio::close_unit(kWaveUnit);

  console_empty_line();
  recio::begin_write(recio::kConsoleOutput);
  write_text(" Amax of Filtered wave (gal) =");
  recio::write_real(Amax);
  recio::end_write();
}

}  // namespace intensity

// The natural-frequency grid and the sine base-input response of one oscillator.
#ifndef QUODREL_SPECTRUM_SPECTRUM_H
#define QUODREL_SPECTRUM_SPECTRUM_H

#include <array>

namespace quodrel {

// The run's parameters. Every field is zero until the dialogue sets it.
struct SineBaseInput {
  double excitation_frequency_hz = 0.0;
  double input_amplitude_g = 0.0;   // peak acceleration of the base
  double damping_ratio = 0.0;       // fraction of critical damping
  double start_frequency_hz = 0.0;
  double final_frequency_hz = 0.0;
};

constexpr int GRID_CAPACITY = 1000;
constexpr double GRID_STEP_OCTAVES = 1.0 / 24.0;
constexpr double RMS_FACTOR = 0.707;  // the decimal 0.707, not 1/sqrt(2)

// Natural frequencies in Hz, ascending by the grid ratio 2^(1/24); count is 1 to GRID_CAPACITY.
struct NaturalFrequencyGrid {
  std::array<double, GRID_CAPACITY> frequencies_hz;
  int count;
};

// The response of the oscillator with natural frequency natural_frequency_hz.
struct ResponsePoint {
  double natural_frequency_hz;
  double frequency_ratio;   // excitation frequency / natural frequency
  double transmissibility;  // peak absolute acceleration / peak base acceleration
  double peak_accel_g;
  double rms_accel_g;
};

// Element 0 is start_frequency_hz; each next element is the previous one times 2^(1/24), kept
// while it is not above final_frequency_hz, up to GRID_CAPACITY elements.
// build_grid(10, 20) -> 24 elements, 10 ... 19.430638823072137.
NaturalFrequencyGrid build_grid(double start_frequency_hz, double final_frequency_hz);

// The steady-state absolute acceleration response to the sine base input, following IEEE
// arithmetic for degenerate inputs (a zero natural frequency gives a transmissibility of NaN).
ResponsePoint compute_response(const SineBaseInput& input, double natural_frequency_hz);

}  // namespace quodrel

#endif

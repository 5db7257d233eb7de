#include "spectrum/spectrum.h"

#include <cmath>

namespace quodrel {

NaturalFrequencyGrid build_grid(double start_frequency_hz, double final_frequency_hz) {
  const double grid_ratio = std::pow(2.0, GRID_STEP_OCTAVES);
  NaturalFrequencyGrid grid;
  grid.frequencies_hz[0] = start_frequency_hz;  // always present, never compared with the final
  grid.count = 1;
  while (grid.count < GRID_CAPACITY) {
    // Each element multiplies the previous stored one, not start * ratio^i: the rounding of each
    // step decides whether a frequency lands on or just above the final frequency.
    const double next = grid_ratio * grid.frequencies_hz[grid.count - 1];
    if (next > final_frequency_hz) break;
    grid.frequencies_hz[grid.count++] = next;
  }
  return grid;
}

ResponsePoint compute_response(const SineBaseInput& input, double natural_frequency_hz) {
  // T = sqrt((1 + (2 zeta rho)^2) / ((1 - rho^2)^2 + (2 zeta rho)^2)), one rounding per step.
  const double rho = input.excitation_frequency_hz / natural_frequency_hz;
  const double u = 2.0 * (rho * input.damping_ratio);
  const double u2 = std::pow(u, 2.0);
  const double d = std::pow(1.0 - std::pow(rho, 2.0), 2.0);
  const double transmissibility = std::sqrt((u2 + 1.0) / (d + u2));
  const double peak_accel_g = transmissibility * input.input_amplitude_g;
  return ResponsePoint{natural_frequency_hz, rho, transmissibility, peak_accel_g,
                       peak_accel_g * RMS_FACTOR};
}

}  // namespace quodrel

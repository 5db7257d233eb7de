// The grid and the response in-process, against the documented numbers, closed forms and a
// time-domain simulation of the oscillator. What only this level shows: the physics itself.
#include <algorithm>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "spectrum/spectrum.h"

namespace quodrel {
namespace {

TEST(Grid, RatioIsTheDoubleNearestTheTwentyFourthRootOfTwo) {
  const NaturalFrequencyGrid grid = build_grid(1.0, 2.0);
  EXPECT_EQ(grid.frequencies_hz[1], 1.029302236643492);
}

TEST(Grid, CountsAndLastFrequencies) {
  struct Case {
    double start, final;
    int count;
    double last;  // 0 where no last value is given
  };
  const Case cases[] = {
      {10, 20, 24, 19.430638823072137},  // 20.00000000000002 is the 24th step: above 20
      {10, 2000, 184, 1974.0298565221804},
      {20, 2000, 160, 0},
      {10, 10, 1, 10},  // the start is always there, never compared with the final
      {10, 5, 1, 10},
  };
  for (const Case& c : cases) {
    const NaturalFrequencyGrid grid = build_grid(c.start, c.final);
    EXPECT_EQ(grid.count, c.count) << c.start << " to " << c.final;
    if (c.last != 0) {
      EXPECT_EQ(grid.frequencies_hz[grid.count - 1], c.last) << c.start << " to " << c.final;
    }
  }
}

TEST(Grid, EachStepMultipliesThePreviousStoredValue) {
  const NaturalFrequencyGrid grid = build_grid(10, 2000);
  const double ratio = std::pow(2.0, 1.0 / 24.0);
  for (int i = 1; i < grid.count; ++i) {
    ASSERT_EQ(grid.frequencies_hz[i], grid.frequencies_hz[i - 1] * ratio) << "element " << i;
  }
  EXPECT_EQ(grid.frequencies_hz[24], 20.00000000000002);
}

TEST(Grid, AnElementEqualToTheFinalFrequencyBelongs) {
  const NaturalFrequencyGrid reference = build_grid(10, 2000);
  const NaturalFrequencyGrid grid = build_grid(10, reference.frequencies_hz[5]);
  EXPECT_EQ(grid.count, 6);
}

TEST(Grid, StopsSilentlyAtCapacity) {
  const NaturalFrequencyGrid wide = build_grid(1, 1e30);
  ASSERT_EQ(wide.count, GRID_CAPACITY);
  EXPECT_NEAR(wide.frequencies_hz[GRID_CAPACITY - 1], 3.39e12, 0.01e12);

  const NaturalFrequencyGrid zero = build_grid(0, 0);  // 0 never exceeds 0
  ASSERT_EQ(zero.count, GRID_CAPACITY);
  EXPECT_EQ(zero.frequencies_hz[GRID_CAPACITY - 1], 0.0);

  const NaturalFrequencyGrid negative = build_grid(-10, 5);  // grows ever more negative
  ASSERT_EQ(negative.count, GRID_CAPACITY);
  EXPECT_LT(negative.frequencies_hz[GRID_CAPACITY - 1], -1e13);
}

SineBaseInput excitation(double frequency_hz, double amplitude_g, double damping_ratio) {
  SineBaseInput input;
  input.excitation_frequency_hz = frequency_hz;
  input.input_amplitude_g = amplitude_g;
  input.damping_ratio = damping_ratio;
  return input;
}

TEST(Response, AtResonance) {
  const ResponsePoint point = compute_response(excitation(100, 2, 0.05), 100);
  EXPECT_EQ(point.natural_frequency_hz, 100);
  EXPECT_EQ(point.frequency_ratio, 1.0);
  const double root_101 = std::sqrt(101.0);
  EXPECT_NEAR(point.transmissibility, root_101, 1e-13 * root_101);
  EXPECT_NEAR(point.peak_accel_g, 2 * root_101, 1e-13 * root_101);
  EXPECT_NEAR(point.rms_accel_g, 0.707 * 2 * root_101, 1e-13 * root_101);
}

TEST(Response, NoExcitationFrequencyPassesTheInputThrough) {
  for (double natural_frequency_hz : {1.0, 10.0, 1e6}) {
    const ResponsePoint point = compute_response(excitation(0, 2.5, 0.05), natural_frequency_hz);
    EXPECT_EQ(point.transmissibility, 1.0);
    EXPECT_EQ(point.peak_accel_g, 2.5);
  }
}

TEST(Response, NegativeDampingGivesTheSameResultAsItsMagnitude) {
  for (double natural_frequency_hz : {10.0, 99.0, 100.0, 250.0}) {
    const ResponsePoint positive = compute_response(excitation(100, 2, 0.05), natural_frequency_hz);
    const ResponsePoint negative = compute_response(excitation(100, 2, -0.05), natural_frequency_hz);
    EXPECT_EQ(positive.peak_accel_g, negative.peak_accel_g);
  }
}

TEST(Response, DegenerateInputsFollowIeeeArithmetic) {
  EXPECT_TRUE(std::isnan(compute_response(excitation(100, 2, 0.05), 0).transmissibility));
  EXPECT_TRUE(std::isnan(compute_response(excitation(0, 2, 0.05), 0).transmissibility));
  const ResponsePoint undamped = compute_response(excitation(100, 2, 0), 100);
  EXPECT_EQ(undamped.transmissibility, std::numeric_limits<double>::infinity());
}

// The steady-state peak absolute acceleration of the oscillator, found without the closed form:
// integrate z'' + 2 zeta w z' + w^2 z = -a sin(W t) for the relative motion z (fourth-order
// Runge-Kutta) until the start-up transient has died away, then take the largest
// |x''| = |2 zeta w z' + w^2 z| over the following cycles.
double simulated_peak_accel(double excitation_hz, double amplitude, double damping_ratio,
                            double natural_hz) {
  const double pi = std::acos(-1.0);
  const double w = 2 * pi * natural_hz;
  const double excitation_w = 2 * pi * excitation_hz;
  const double dt = 1.0 / std::max(excitation_hz, natural_hz) / 400;
  const double settle_time = 25.0 / (damping_ratio * w);  // the transient decays as e^(-zeta w t)
  const double measure_time = 20.0 / std::min(excitation_hz, natural_hz);
  auto acceleration = [&](double t, double z, double v) {
    return -amplitude * std::sin(excitation_w * t) - 2 * damping_ratio * w * v - w * w * z;
  };
  double t = 0, z = 0, v = 0, peak = 0;
  while (t < settle_time + measure_time) {
    const double k1z = v, k1v = acceleration(t, z, v);
    const double k2z = v + dt / 2 * k1v, k2v = acceleration(t + dt / 2, z + dt / 2 * k1z, k2z);
    const double k3z = v + dt / 2 * k2v, k3v = acceleration(t + dt / 2, z + dt / 2 * k2z, k3z);
    const double k4z = v + dt * k3v, k4v = acceleration(t + dt, z + dt * k3z, k4z);
    z += dt / 6 * (k1z + 2 * k2z + 2 * k3z + k4z);
    v += dt / 6 * (k1v + 2 * k2v + 2 * k3v + k4v);
    t += dt;
    if (t > settle_time) peak = std::max(peak, std::fabs(2 * damping_ratio * w * v + w * w * z));
  }
  return peak;
}

TEST(Response, MatchesATimeDomainSimulationOfTheOscillator) {
  struct Case {
    double natural_hz, damping_ratio;
  };
  const Case cases[] = {
      {10, 0.05},  {50, 0.02}, {90, 0.05}, {100, 0.05},
      {100, 0.2},  {150, 0.1}, {400, 0.05}, {1000, 0.3},
  };
  const double excitation_hz = 100, amplitude_g = 2;
  for (const Case& c : cases) {
    const double computed =
        compute_response(excitation(excitation_hz, amplitude_g, c.damping_ratio), c.natural_hz)
            .peak_accel_g;
    const double simulated =
        simulated_peak_accel(excitation_hz, amplitude_g, c.damping_ratio, c.natural_hz);
    EXPECT_NEAR(simulated, computed, 1e-4 * computed)
        << "fn " << c.natural_hz << " Hz, damping ratio " << c.damping_ratio;
  }
}

// The true resonance peak over the natural frequency, in closed form: at rho*^2 = 2 / (1 + sqrt(1 +
// 8 zeta^2)), T_max = 1 / sqrt(1 - rho*^4), which is about Q + 5/(8Q); the value at fn = fe is
// sqrt(1 + Q^2). The documentation's accuracy table rests on these.
double peak_ratio_squared(double zeta) { return 2 / (1 + std::sqrt(1 + 8 * zeta * zeta)); }
double peak_transmissibility(double zeta) {
  return 1 / std::sqrt(1 - std::pow(peak_ratio_squared(zeta), 2));
}

TEST(Response, TheClosedFormPeakIsTheMaximumOverTheNaturalFrequency) {
  const double excitation_hz = 100;
  for (const double q : {2.0, 5.0, 10.0, 20.0, 50.0, 100.0}) {
    const SineBaseInput input = excitation(excitation_hz, 1, 1 / (2 * q));
    const auto t = [&](double natural_hz) {
      return compute_response(input, natural_hz).transmissibility;
    };
    // Step 1: a dense scan over a band wide enough for every Q here brackets the maximum.
    const int steps = 200000;
    const double low = excitation_hz / 1.5, high = excitation_hz * 1.5;
    int best = 0;
    for (int i = 1; i <= steps; ++i) {
      if (t(low + (high - low) * i / steps) > t(low + (high - low) * best / steps)) best = i;
    }
    // Step 2: golden-section search within the bracket.
    double a = low + (high - low) * (best - 1) / steps, b = low + (high - low) * (best + 1) / steps;
    const double golden = (std::sqrt(5.0) - 1) / 2;
    for (int i = 0; i < 100; ++i) {
      const double c = b - golden * (b - a), d = a + golden * (b - a);
      if (t(c) > t(d)) {
        b = d;
      } else {
        a = c;
      }
    }
    const double natural_at_peak = (a + b) / 2;
    const double zeta = 1 / (2 * q);
    EXPECT_NEAR(t(natural_at_peak), peak_transmissibility(zeta), 1e-12 * q) << "Q " << q;
    EXPECT_NEAR(natural_at_peak, excitation_hz / std::sqrt(peak_ratio_squared(zeta)), 1e-4)
        << "Q " << q;
    EXPECT_GT(natural_at_peak, excitation_hz) << "Q " << q;  // just above fn = fe
    EXPECT_NEAR(peak_transmissibility(zeta), q + 5 / (8 * q), 2 / (q * q * q)) << "Q " << q;
    EXPECT_NEAR(t(excitation_hz), std::sqrt(1 + q * q), 1e-12 * q) << "Q " << q;
  }
}

// The remedy: a starting frequency of fe / 2^(k/24) puts fe on the grid (to a few rounding steps
// of the grid's products), and the largest tabulated value then reads sqrt(1 + Q^2), within
// 1 - sqrt(1 + Q^2) / T_max of the true peak: 0.46 % at Q = 5, 0.12 % at Q = 10, 0.001 % at 100.
TEST(Response, ExcitationOnTheGridGivesTheValueAtResonanceAsTheLargest) {
  for (const double excitation_hz : {100.0, 37.5, 1234.5}) {
    for (const double q : {5.0, 10.0, 20.0, 50.0, 100.0}) {
      const SineBaseInput input = excitation(excitation_hz, 1, 1 / (2 * q));
      for (const int k : {24, 72}) {  // fe / 2 and fe / 8
        const NaturalFrequencyGrid grid =
            build_grid(excitation_hz / std::pow(2.0, k / 24.0), 4 * excitation_hz);
        double largest = 0;
        for (int i = 0; i < grid.count; ++i) {
          largest = std::max(largest, compute_response(input, grid.frequencies_hz[i]).peak_accel_g);
        }
        EXPECT_NEAR(largest, std::sqrt(1 + q * q), 1e-12 * q) << excitation_hz << " Hz, Q " << q;
        const double under_read = 1 - largest / peak_transmissibility(1 / (2 * q));
        EXPECT_LT(under_read, 0.005) << excitation_hz << " Hz, Q " << q;
        // (Q + 1/(2Q)) / (Q + 5/(8Q)) is about 1 - 1/(8 Q^2).
        EXPECT_NEAR(under_read, 1 / (8 * q * q), 0.1 / (q * q)) << excitation_hz << " Hz, Q " << q;
      }
    }
  }
}

}  // namespace
}  // namespace quodrel

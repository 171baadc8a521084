#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numbers>
#include <vector>

// Measurements on recorded sample streams, for the sound tests.
namespace waveform {

// Positions (in samples, interpolated between neighbours) where the signal rises through the
// threshold.
inline std::vector<double> RisingCrossings(const std::vector<double>& x, double threshold) {
    std::vector<double> crossings;
    for (std::size_t i = 1; i < x.size(); ++i) {
        if (x[i - 1] < threshold && x[i] >= threshold) {
            crossings.push_back(static_cast<double>(i - 1) +
                                (threshold - x[i - 1]) / (x[i] - x[i - 1]));
        }
    }
    return crossings;
}

// Frequency from the first and last rising crossing; 0 when there are fewer than two.
inline double Frequency(const std::vector<double>& x, double threshold, double sampleRate) {
    const std::vector<double> c = RisingCrossings(x, threshold);
    if (c.size() < 2) return 0.0;
    return static_cast<double>(c.size() - 1) * sampleRate / (c.back() - c.front());
}

// Mean power per frequency of the signal (mean removed) in [low, high] Hz, by a direct Fourier
// sum over every bin of the band.
inline double BandPower(const std::vector<double>& x, double sampleRate, double low, double high) {
    const std::size_t n = x.size();
    if (n == 0) return 0.0;
    double mean = 0;
    for (double v : x) mean += v;
    mean /= static_cast<double>(n);
    const double binHz = sampleRate / static_cast<double>(n);
    const auto first = static_cast<std::size_t>(std::ceil(low / binHz));
    const auto last = static_cast<std::size_t>(std::floor(high / binHz));
    double total = 0;
    std::size_t bins = 0;
    for (std::size_t k = first; k <= last; ++k, ++bins) {
        // Goertzel: one bin in O(n) with a single cosine.
        const double w = 2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(n);
        const double coefficient = 2.0 * std::cos(w);
        double s1 = 0, s2 = 0;
        for (double v : x) {
            const double s0 = (v - mean) + coefficient * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        total += s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    }
    return bins == 0 ? 0.0 : total / static_cast<double>(bins);
}

// One side of interleaved stereo samples.
inline std::vector<double> Side(const std::vector<int16_t>& stereo, int side) {
    std::vector<double> x;
    x.reserve(stereo.size() / 2);
    for (std::size_t i = static_cast<std::size_t>(side); i < stereo.size(); i += 2) {
        x.push_back(stereo[i]);
    }
    return x;
}

}  // namespace waveform

#pragma once
// Measurements of rendered sound, as a listener or an analyser would take
// them: a tone's frequency, the level of the largest spurious component, the
// times of clicks.
#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

namespace measure {

// The frequency of a pure tone from its rising zero crossings, each placed
// between two values by a straight line.
inline double toneFrequency(const std::vector<float>& x, double rate, size_t skip = 1000) {
    double first = -1, last = -1;
    long crossings = 0;
    for (size_t i = std::max<size_t>(skip, 1); i < x.size(); ++i) {
        if (x[i - 1] < 0.0f && x[i] >= 0.0f) {
            double at = static_cast<double>(i - 1) + x[i - 1] / (x[i - 1] - x[i]);
            if (first < 0) first = at;
            last = at;
            ++crossings;
        }
    }
    return crossings > 1 ? (crossings - 1) * rate / (last - first) : 0.0;
}

// In-place radix-2 FFT; the size must be a power of two.
inline void fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2.0 * M_PI / static_cast<double>(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w(1.0);
            for (size_t k = 0; k < len / 2; ++k) {
                const auto u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

// The largest component of the spectrum other than the strongest tone, in
// dB below that tone. A Kaiser window (beta 20) keeps the analyser's own
// leakage far below -150 dB outside the tone's +-guard bins.
inline double largestSpurDb(const std::vector<float>& x, size_t size = 65536, size_t guard = 24) {
    // The window, made once per size.
    static thread_local std::vector<double> window;
    if (window.size() != size) {
        auto i0 = [](double v) {
            double sum = 1, term = 1;
            for (int k = 1; k < 200; ++k) {
                term *= (v * v / 4) / (static_cast<double>(k) * k);
                sum += term;
            }
            return sum;
        };
        const double beta = 20.0, norm = i0(beta);
        window.resize(size);
        for (size_t i = 0; i < size; ++i) {
            const double edge = 2.0 * static_cast<double>(i) / static_cast<double>(size - 1) - 1.0;
            window[i] = i0(beta * std::sqrt(std::max(0.0, 1.0 - edge * edge))) / norm;
        }
    }
    std::vector<std::complex<double>> a(size);
    const size_t offset = x.size() - size;
    for (size_t i = 0; i < size; ++i) a[i] = x[offset + i] * window[i];
    fft(a);
    size_t peak = 0;
    for (size_t k = 1; k < size / 2; ++k)
        if (std::abs(a[k]) > std::abs(a[peak])) peak = k;
    double spur = 0;
    for (size_t k = 0; k < size / 2; ++k)
        if (k + guard < peak || k > peak + guard) spur = std::max(spur, std::abs(a[k]));
    return 20.0 * std::log10(std::max(spur, 1e-300) / std::abs(a[peak]));
}

// The strongest component at or above hz in x[from, from + size) (size a
// power of two), in dB relative to the strongest component of all: what a
// change in the middle of the stretch splatters into the treble.
inline double strongestAboveDb(const std::vector<float>& x, size_t from, size_t size, double rate, double hz) {
    std::vector<std::complex<double>> a(size);
    for (size_t i = 0; i < size; ++i) {
        // Blackman-Harris: sidelobes below -92 dB.
        const double t = 2.0 * M_PI * static_cast<double>(i) / static_cast<double>(size - 1);
        const double w = 0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) - 0.01168 * std::cos(3 * t);
        a[i] = x[from + i] * w;
    }
    fft(a);
    double all = 0, above = 0;
    const auto first = static_cast<size_t>(std::ceil(hz * static_cast<double>(size) / rate));
    for (size_t k = 0; k < size / 2; ++k) {
        all = std::max(all, std::abs(a[k]));
        if (k >= first) above = std::max(above, std::abs(a[k]));
    }
    return 20.0 * std::log10(std::max(above, 1e-300) / std::max(all, 1e-300));
}

// Output frames at which an isolated click peaks: the largest value of each
// run of values above threshold.
inline std::vector<long> clickFrames(const std::vector<float>& x, float threshold) {
    std::vector<long> frames;
    for (size_t i = 0; i < x.size();) {
        if (std::fabs(x[i]) < threshold) {
            ++i;
            continue;
        }
        size_t best = i;
        for (; i < x.size() && i < best + 64; ++i)
            if (std::fabs(x[i]) > std::fabs(x[best])) best = i;
        frames.push_back(static_cast<long>(best));
        i = best + 64;
    }
    return frames;
}

} // namespace measure

// Measurements on sampled sound for the tests: a windowed spectrum, the
// frequency of a tone from its zero crossings, RMS, an envelope and the
// correlation of two envelopes. Header-only, no dependencies.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

namespace sound_analysis {

constexpr double kPi = 3.14159265358979323846;

// The power spectrum in dB of the first 2^k samples (k as large as fits),
// Blackman-Harris windowed (sidelobes below -92 dB), bin i at i x rate / n.
inline std::vector<double> SpectrumDb(const std::vector<double>& samples, std::size_t& n) {
    n = 1;
    while (n * 2 <= samples.size()) n *= 2;
    std::vector<std::complex<double>> a(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double x = 2.0 * kPi * double(i) / double(n);
        const double w = 0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
        a[i] = samples[i] * w;
    }
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> root = std::polar(1.0, -2.0 * kPi / double(len));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w(1.0);
            for (std::size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= root;
            }
        }
    }
    std::vector<double> db(n / 2);
    for (std::size_t i = 0; i < n / 2; ++i) db[i] = 10.0 * std::log10(std::norm(a[i]) + 1e-30);
    return db;
}

// The frequency of a tone from its rising zero crossings (interpolated
// between samples), over the whole span: 0 when it crosses fewer than twice.
inline double ToneHz(const std::vector<double>& samples, double rate) {
    double first = -1.0, last = -1.0;
    std::size_t crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0.0 && samples[i] >= 0.0) {
            const double t = double(i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]);
            if (crossings == 0) first = t;
            last = t;
            ++crossings;
        }
    }
    return crossings < 2 ? 0.0 : double(crossings - 1) * rate / (last - first);
}

inline double Rms(const std::vector<double>& samples) {
    double sum = 0.0;
    for (double s : samples) sum += s * s;
    return samples.empty() ? 0.0 : std::sqrt(sum / double(samples.size()));
}

// RMS over consecutive windows of `window` samples, the mean removed first.
inline std::vector<double> Envelope(const std::vector<double>& samples, std::size_t window) {
    double mean = 0.0;
    for (double s : samples) mean += s;
    mean /= double(std::max<std::size_t>(samples.size(), 1));
    std::vector<double> env;
    for (std::size_t at = 0; at + window <= samples.size(); at += window) {
        double sum = 0.0;
        for (std::size_t i = at; i < at + window; ++i) sum += (samples[i] - mean) * (samples[i] - mean);
        env.push_back(std::sqrt(sum / double(window)));
    }
    return env;
}

// Pearson correlation of a with b shifted by `lag` (b[i + lag] against a[i]),
// over the part both cover.
inline double Correlation(const std::vector<double>& a, const std::vector<double>& b, std::ptrdiff_t lag) {
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::ptrdiff_t j = std::ptrdiff_t(i) + lag;
        if (j < 0 || j >= std::ptrdiff_t(b.size())) continue;
        const double x = a[i], y = b[std::size_t(j)];
        sa += x, sb += y, saa += x * x, sbb += y * y, sab += x * y;
        ++n;
    }
    if (n < 2) return 0.0;
    const double cov = sab - sa * sb / double(n);
    const double va = saa - sa * sa / double(n), vb = sbb - sb * sb / double(n);
    return va <= 0 || vb <= 0 ? 0.0 : cov / std::sqrt(va * vb);
}

}  // namespace sound_analysis

#pragma once

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

// Summary of round-trip samples in microseconds.
struct benchstats {
  std::size_t count = 0;
  double p50 = 0, p99 = 0, mean = 0;
  double persecond = 0;  // sequential round trips per second
};

// Nearest-rank percentiles of the samples (sorted in place).
inline benchstats summarise(std::vector<double> &us) {
  benchstats s;
  if (us.empty()) return s;
  std::sort(us.begin(), us.end());
  auto rank = [&](double p) { return us[std::min(us.size() - 1, static_cast<std::size_t>(p * us.size()))]; };
  s.count = us.size();
  s.p50 = rank(0.50);
  s.p99 = rank(0.99);
  const double total = std::accumulate(us.begin(), us.end(), 0.0);
  s.mean = total / static_cast<double>(us.size());
  s.persecond = total > 0 ? 1e6 * static_cast<double>(us.size()) / total : 0;
  return s;
}

inline std::string statsjson(const benchstats &s) {
  char text[200];
  std::snprintf(text, sizeof text,
                "{\"count\":%zu,\"p50_us\":%.2f,\"p99_us\":%.2f,\"mean_us\":%.2f,\"per_s\":%.0f}", s.count,
                s.p50, s.p99, s.mean, s.persecond);
  return text;
}

// The service's counters, given out at GET /metrics in the Prometheus text format.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace kufd {

// How a check ended, as the metrics and the log name it.
enum class Outcome : std::size_t {
  checked,     // ran to its end: 200
  too_large,   // the body or the answer over its limit: 413
  client_gone, // the client closed the connection before the body was whole
  timeout,     // the client stalled in its body or did not read the answer
  bad_body,    // the body's framing was broken (a chunk): 400
  failed,      // the check could not run to its end for the service's own reasons: 503
  stopped,     // stopped when the grace period after SIGTERM ran out
  count
};
const char *outcome_name(Outcome o);

// Why a request was refused before any check.
enum class Refusal : std::size_t { busy, connections, draining, count };

struct Metrics {
  static constexpr std::array<double, 12> bounds = {0.001, 0.0025, 0.005, 0.01, 0.025, 0.05,
                                                    0.1,   0.25,   0.5,   1,    5,     30};
  std::array<std::atomic<std::uint64_t>, static_cast<std::size_t>(Outcome::count)> checks{};
  std::array<std::atomic<std::uint64_t>, static_cast<std::size_t>(Refusal::count)> refused{};
  std::atomic<std::uint64_t> bytes_checked{0}, errors{0}, warnings{0};
  std::array<std::atomic<std::uint64_t>, bounds.size() + 1> duration_buckets{};
  std::atomic<std::uint64_t> duration_micros{0};
  std::atomic<std::uint64_t> requests{0}, connections_total{0};
  std::atomic<std::int64_t> connections{0};

  void check_done(Outcome o, std::uint64_t bytes, long long e, long long w, double seconds);
  // The text for GET /metrics; the gauges of the slots are passed in.
  std::string text(std::size_t in_flight, std::size_t waiting, std::size_t slots,
                   std::size_t queue) const;
};

} // namespace kufd

#include "metrics.hpp"

#include <cstdio>

namespace kufd {

const char *outcome_name(Outcome o) {
  static const char *const names[] = {"checked",  "too_large", "client_gone", "timeout",
                                      "bad_body", "failed",    "stopped"};
  return names[static_cast<std::size_t>(o)];
}

void Metrics::check_done(Outcome o, std::uint64_t bytes, long long e, long long w, double seconds) {
  checks[static_cast<std::size_t>(o)].fetch_add(1, std::memory_order_relaxed);
  bytes_checked.fetch_add(bytes, std::memory_order_relaxed);
  if (o != Outcome::checked)
    return;
  errors.fetch_add(static_cast<std::uint64_t>(e), std::memory_order_relaxed);
  warnings.fetch_add(static_cast<std::uint64_t>(w), std::memory_order_relaxed);
  std::size_t b = 0;
  while (b < bounds.size() && seconds > bounds[b])
    ++b;
  duration_buckets[b].fetch_add(1, std::memory_order_relaxed);
  duration_micros.fetch_add(static_cast<std::uint64_t>(seconds * 1e6), std::memory_order_relaxed);
}

namespace {

void line(std::string &out, const char *format, auto... values) {
  char buffer[256];
  const int n = std::snprintf(buffer, sizeof buffer, format, values...);
  if (n > 0)
    out.append(buffer, static_cast<std::size_t>(n) < sizeof buffer ? static_cast<std::size_t>(n)
                                                                   : sizeof buffer - 1);
}

unsigned long long get(const std::atomic<std::uint64_t> &a) {
  return a.load(std::memory_order_relaxed);
}

} // namespace

std::string Metrics::text(std::size_t in_flight, std::size_t waiting, std::size_t slots,
                          std::size_t queue) const {
  std::string out;
  out += "# HELP ld952_checks_total Checks by how they ended.\n"
         "# TYPE ld952_checks_total counter\n";
  for (std::size_t i = 0; i < checks.size(); ++i)
    line(out, "ld952_checks_total{outcome=\"%s\"} %llu\n", outcome_name(static_cast<Outcome>(i)),
         get(checks[i]));
  out += "# HELP ld952_checked_bytes_total Report bytes read by checks.\n"
         "# TYPE ld952_checked_bytes_total counter\n";
  line(out, "ld952_checked_bytes_total %llu\n", get(bytes_checked));
  out += "# HELP ld952_findings_total Findings of the checks that ran to their end, by weight.\n"
         "# TYPE ld952_findings_total counter\n";
  line(out, "ld952_findings_total{weight=\"E\"} %llu\n", get(errors));
  line(out, "ld952_findings_total{weight=\"W\"} %llu\n", get(warnings));
  out += "# HELP ld952_check_duration_seconds Time of the checks that ran to their end.\n"
         "# TYPE ld952_check_duration_seconds histogram\n";
  unsigned long long cumulative = 0;
  for (std::size_t b = 0; b < bounds.size(); ++b) {
    cumulative += get(duration_buckets[b]);
    line(out, "ld952_check_duration_seconds_bucket{le=\"%g\"} %llu\n", bounds[b], cumulative);
  }
  cumulative += get(duration_buckets[bounds.size()]);
  line(out, "ld952_check_duration_seconds_bucket{le=\"+Inf\"} %llu\n", cumulative);
  line(out, "ld952_check_duration_seconds_sum %.6f\n",
       static_cast<double>(get(duration_micros)) / 1e6);
  line(out, "ld952_check_duration_seconds_count %llu\n", cumulative);
  out += "# HELP ld952_checks_in_flight Checks running now.\n"
         "# TYPE ld952_checks_in_flight gauge\n";
  line(out, "ld952_checks_in_flight %zu\n", in_flight);
  out += "# HELP ld952_checks_waiting Checks waiting for a slot now.\n"
         "# TYPE ld952_checks_waiting gauge\n";
  line(out, "ld952_checks_waiting %zu\n", waiting);
  out += "# HELP ld952_check_slots Checks that may run at once.\n"
         "# TYPE ld952_check_slots gauge\n";
  line(out, "ld952_check_slots %zu\n", slots);
  out += "# HELP ld952_queue_size Checks that may wait for a slot.\n"
         "# TYPE ld952_queue_size gauge\n";
  line(out, "ld952_queue_size %zu\n", queue);
  out += "# HELP ld952_requests_refused_total Requests refused before any check, by reason.\n"
         "# TYPE ld952_requests_refused_total counter\n";
  static const char *const reasons[] = {"busy", "connections", "draining"};
  for (std::size_t i = 0; i < refused.size(); ++i)
    line(out, "ld952_requests_refused_total{reason=\"%s\"} %llu\n", reasons[i], get(refused[i]));
  out += "# HELP ld952_requests_total Requests read.\n"
         "# TYPE ld952_requests_total counter\n";
  line(out, "ld952_requests_total %llu\n", get(requests));
  out += "# HELP ld952_connections_total Connections accepted.\n"
         "# TYPE ld952_connections_total counter\n";
  line(out, "ld952_connections_total %llu\n", get(connections_total));
  out += "# HELP ld952_connections Connections open now.\n"
         "# TYPE ld952_connections gauge\n";
  line(out, "ld952_connections %lld\n", static_cast<long long>(connections.load()));
  return out;
}

} // namespace kufd
